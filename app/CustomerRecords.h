#pragma once

#include <ColumnMapping.h>

#include <QString>
#include <QStringList>

class RecordSet;

// How the program and the headless command set up the customer records: the connection text for
// a database file, the eleven field slots, their binding to the mapped columns and the open.
class TCustomerRecords {
public:
    static constexpr const char *ConnectionTextPrefix =
        "Provider=Microsoft.Jet.OLEDB.4.0;Password=\"\";User ID=Admin;Mode=Share Deny None;"
        "Jet OLEDB:Database Password=\"\";Jet OLEDB:Engine Type=5;"
        "Jet OLEDB:Database Locking Mode=1;Jet OLEDB:Global Partial Bulk Ops=2;"
        "Jet OLEDB:Global Bulk Transactions=1";

    static QString ConnectionText(const QString &databasePath);

    // One slot per role, in the order of the role table, which is also the grid's column order.
    static void AddFieldSlots(RecordSet &records);
    // Binds each role's slot to its column.
    static void BindColumns(RecordSet &records, const ColumnMapping &columns);
    // Opens every row of the table, with posts located by key and re-read afterwards.
    static void OpenTable(RecordSet &records, const QString &table);
    static void OpenQuery(RecordSet &records, const QString &sql);
};
