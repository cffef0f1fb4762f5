#include "CustomerRecords.h"

#include <RecordSet.h>

QString TCustomerRecords::ConnectionText(const QString &databasePath)
{
    return QString::fromLatin1(ConnectionTextPrefix) + QStringLiteral(";Data Source=") + databasePath;
}

void TCustomerRecords::AddFieldSlots(RecordSet &rs)
{
    rs.addField(FieldKind::WideText, QStringLiteral("KolmNummer"), 30, QStringLiteral("Id"), 12);
    rs.addField(FieldKind::WideText, QStringLiteral("Name1"), 32, QStringLiteral("Name"), 20);
    rs.addField(FieldKind::WideText, QStringLiteral("LandKennz"), 5, QStringLiteral("Counry"), 5);
    rs.addField(FieldKind::WideText, QStringLiteral("Plz"), 10, QStringLiteral("Postcode"), 6);
    rs.addField(FieldKind::WideText, QStringLiteral("Ort"), 30, QStringLiteral("City"), 20);
    rs.addField(FieldKind::WideText, QStringLiteral("Strasse"), 80, QStringLiteral("Street"), 30);
    rs.addField(FieldKind::Boolean, QStringLiteral("MPControlGeocode"), 0, QStringLiteral("Need control"), 3);
    rs.addField(FieldKind::WideText, QStringLiteral("MPStatus"), 50, QStringLiteral("Geocode Status"), 10);
    rs.addField(FieldKind::WideText, QStringLiteral("MPAddress"), 50, QStringLiteral("Geocoded on"), 40);
    rs.addField(FieldKind::Float, QStringLiteral("W2MP"), 0, QStringLiteral("Latitude"), 10,
                QStringLiteral("#.00000"));
    rs.addField(FieldKind::Float, QStringLiteral("W1MP"), 0, QStringLiteral("Longitude"), 10,
                QStringLiteral("#.00000"));
}

void TCustomerRecords::BindColumns(RecordSet &records, const QStringList &columns)
{
    const QList<Field *> fieldSlots = records.fields();
    for (int i = 0; i < columns.size(); ++i)
        fieldSlots[i]->setFieldName(columns[i]);
}

void TCustomerRecords::OpenTable(RecordSet &records, const QString &table)
{
    OpenQuery(records, QStringLiteral("select * from ") + table);
}

void TCustomerRecords::OpenQuery(RecordSet &records, const QString &sql)
{
    records.setCommandText(sql);
    records.open();
    records.setProviderOption(QStringLiteral("Update Criteria"), 0);
    records.setProviderOption(QStringLiteral("Update Resync"), 15);
}
