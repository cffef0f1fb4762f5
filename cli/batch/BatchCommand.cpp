#include "BatchCommand.h"

#include <CustomerRecords.h>
#include <RunHistory.h>

#include <Connection.h>
#include <DataError.h>
#include <HeadlessMapSite.h>
#include <KarteUnit.h>
#include <MappingStore.h>
#include <RecordSet.h>

#include <QFileInfo>

namespace {
QString kindName(ColumnKind kind)
{
    switch (kind) {
    case ColumnKind::Text: return QStringLiteral("a text column");
    case ColumnKind::YesNo: return QStringLiteral("a yes/no column");
    case ColumnKind::Float: return QStringLiteral("a floating-point column");
    case ColumnKind::Other: break;
    }
    return QStringLiteral("a column of another kind (number, date or memo)");
}

void requireFile(const QString &file, const char *option)
{
    if (!file.isEmpty() && !QFileInfo(file).isFile())
        throw UsageError(QStringLiteral("The file \"%1\" given with --%2 does not exist.")
                             .arg(file, QString::fromLatin1(option)));
}
} // namespace

TBatchCommand::TBatchCommand(BatchOptions options, TStopSignal *stop) : m_options(std::move(options)), m_stop(stop) {}

QString TBatchCommand::tableName() const
{
    if (!m_options.table.isEmpty())
        return m_options.table;
    const auto store = MappingStore::OpenForReading();
    return store ? store->Read(QString::fromLatin1(MappingStore::TableValue)) : QString();
}

ColumnMapping TBatchCommand::MappedColumns() const
{
    const auto store = MappingStore::OpenForReading();
    ColumnMapping columns = m_options.columns;
    QStringList missing;
    for (const ColumnRoleEntry &entry : ColumnRoles::All()) {
        QString &column = columns[entry.role];
        if (column.isEmpty() && store)
            column = store->Column(entry.role);
        if (column.isEmpty())
            missing << entry.Word();
    }
    if (!missing.isEmpty())
        throw UsageError(QStringLiteral("The mapping has no column for the role%1 %2: give --map ROLE=COLUMN "
                                        "or choose the columns once in the program.")
                             .arg(missing.size() > 1 ? QStringLiteral("s") : QString(),
                                  missing.join(QStringLiteral(", "))));
    return columns;
}

void TBatchCommand::CheckColumns(const ColumnMapping &mappedColumns, const QList<ColumnDef> &tableColumns,
                                 const QString &table)
{
    for (const ColumnRoleEntry &entry : ColumnRoles::All()) {
        const QString &mapped = mappedColumns[entry.role];
        const auto column = std::find_if(tableColumns.begin(), tableColumns.end(), [&](const ColumnDef &c) {
            return c.name.compare(mapped, Qt::CaseInsensitive) == 0;
        });
        if (column == tableColumns.end())
            throw UsageError(QStringLiteral("The table \"%1\" has no column \"%2\" (mapped to %3).")
                                 .arg(table, mapped, entry.Word()));
        if (column->kind != entry.kind)
            throw UsageError(QStringLiteral("The column \"%1\" mapped to %2 is %3; %2 needs %4.")
                                 .arg(column->name, entry.Word(), kindName(column->kind), kindName(entry.kind)));
    }
}

void TBatchCommand::open(Connection &connection) const
{
    connection.setConnectionText(
        TCustomerRecords::ConnectionText(QFileInfo(m_options.database).absoluteFilePath()));
    connection.open();
}

QString TBatchCommand::RunsText() const
{
    Connection connection;
    open(connection);
    return TRunHistory(connection).RunsText();
}

QString TBatchCommand::Undo() const
{
    Connection connection;
    open(connection);
    TRunHistory history(connection);
    const QString undone = TRunHistory::Describe(history.Find(m_options.undoRun));
    return QStringLiteral("Undo of %1\n%2\n").arg(undone, TRunHistory::SummaryText(history.Undo(m_options.undoRun)));
}

TBatchCounts TBatchCommand::Run(IBatchRunView &view)
{
    requireFile(m_options.settingsFile, "settings");
    requireFile(m_options.gazetteerFile, "gazetteer");

    Connection connection;
    open(connection);
    // A signal from here on interrupts a query being read; the watch ends before the connection.
    struct Watch {
        TStopSignal *stop;
        ~Watch()
        {
            if (stop)
                stop->Watch(nullptr);
        }
    } watch{m_stop};
    if (m_stop) {
        m_stop->Watch(&connection);
        m_stop->ThrowIfReceived();
    }

    const ColumnMapping columns = MappedColumns();
    RecordSet records;
    records.setConnection(&connection);
    TCustomerRecords::AddFieldSlots(records);
    TCustomerRecords::BindColumns(records, columns);

    if (m_options.query.isEmpty()) {
        const QString table = tableName();
        if (table.isEmpty())
            throw UsageError(QStringLiteral("No table given: use --table NAME or choose the table once in the program."));
        const QStringList tables = connection.tableNames();
        const auto listed = std::find_if(tables.begin(), tables.end(), [&](const QString &name) {
            return name.compare(table, Qt::CaseInsensitive) == 0;
        });
        if (listed == tables.end())
            throw UsageError(QStringLiteral("The table \"%1\" does not exist in %2.").arg(table, m_options.database));
        // A quoted name is exact in some databases: the query names the table as the database lists it.
        const QString listedName = *listed;
        // Only the first row, as the mapping dialog reads the column kinds.
        RecordSet probe;
        probe.setConnection(&connection);
        probe.setCommandText(QStringLiteral("select TOP 1 * from ") + connection.provider().quotedName(listedName));
        probe.open();
        CheckColumns(columns, probe.columnDefs(), table);
        TCustomerRecords::OpenTable(records, listedName);
    } else {
        try {
            TCustomerRecords::OpenQuery(records, m_options.query);
        } catch (const DataError &e) {
            if (m_stop)
                m_stop->ThrowIfReceived();
            // The query's own text or its columns are wrong; nothing has been written.
            throw UsageError(QStringLiteral("The query cannot be used: %1").arg(e.message()));
        }
    }

    // The map is never shown, so it is made without a container or a view.
    THeadlessMapSite site;
    KartenModul().CreateMap(site, m_options.northAmerica ? QStringLiteral("MapPoint.Map.NA.9")
                                                         : QStringLiteral("MapPoint.Map.EU.9"));

    return TBatchGeocodeRun::Run(records, TColumnMapping::Of(columns), view);
}
