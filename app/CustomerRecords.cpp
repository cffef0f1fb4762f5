#include "CustomerRecords.h"

#include <Connection.h>
#include <RecordSet.h>

namespace {
FieldKind fieldKind(ColumnKind kind)
{
    switch (kind) {
    case ColumnKind::YesNo: return FieldKind::Boolean;
    case ColumnKind::Float: return FieldKind::Float;
    case ColumnKind::Text:
    case ColumnKind::Other: break;
    }
    return FieldKind::WideText;
}
} // namespace

QString TCustomerRecords::ConnectionText(const QString &databasePath)
{
    return QString::fromLatin1(ConnectionTextPrefix) + QStringLiteral(";Data Source=") + databasePath;
}

void TCustomerRecords::AddFieldSlots(RecordSet &rs)
{
    for (const ColumnRoleEntry &entry : ColumnRoles::All())
        rs.addField(fieldKind(entry.kind), QString::fromLatin1(entry.slotColumn), entry.size,
                    QString::fromLatin1(entry.label), entry.displayWidth,
                    QString::fromLatin1(entry.displayFormat));
}

void TCustomerRecords::BindColumns(RecordSet &records, const ColumnMapping &columns)
{
    const QList<Field *> fieldSlots = records.fields();
    for (const ColumnRoleEntry &entry : ColumnRoles::All())
        fieldSlots[static_cast<int>(entry.role)]->setFieldName(columns[entry.role]);
}

void TCustomerRecords::OpenTable(RecordSet &records, const QString &table)
{
    OpenQuery(records, QStringLiteral("select * from ") + records.connection()->provider().quotedName(table));
}

void TCustomerRecords::OpenQuery(RecordSet &records, const QString &sql)
{
    records.setCommandText(sql);
    records.open();
    records.setProviderOption(QStringLiteral("Update Criteria"), 0);
    records.setProviderOption(QStringLiteral("Update Resync"), 15);
}
