#pragma once

#include <QObject>
#include <QPointer>

class RecordSet;

// Joins a record set to its views (grid model, navigator).
class DataSource : public QObject
{
    Q_OBJECT
public:
    explicit DataSource(QObject *parent = nullptr);
    void setDataSet(RecordSet *rs);
    RecordSet *dataSet() const { return m_dataSet; }

signals:
    void dataSetReplaced();

private:
    QPointer<RecordSet> m_dataSet;
};
