#include "DataSource.h"

#include "RecordSet.h"

DataSource::DataSource(QObject *parent) : QObject(parent) {}

void DataSource::setDataSet(RecordSet *rs)
{
    if (m_dataSet == rs)
        return;
    m_dataSet = rs;
    emit dataSetReplaced();
}
