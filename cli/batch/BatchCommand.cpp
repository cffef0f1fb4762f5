#include "BatchCommand.h"

#include <CustomerRecords.h>
#include <RunHistory.h>

#include <Connection.h>
#include <DataError.h>
#include <KarteUnit.h>
#include <MappingStore.h>
#include <OleContainer.h>
#include <RecordSet.h>

#include <QFileInfo>

namespace {
// The store's value name of each role, in the slot order of BatchOptions::Roles().
const QStringList &storeValueNames()
{
    static const QStringList names = {
        QStringLiteral("IdentifierComboBox"),     QStringLiteral("NameComboBox"),
        QStringLiteral("CountryComboBox"),        QStringLiteral("PostcodeComboBox"),
        QStringLiteral("CityComboBox"),           QStringLiteral("StreetComboBox"),
        QStringLiteral("ControlGeocodeComboBox"), QStringLiteral("StatusTextComboBox"),
        QStringLiteral("GeocodedOnComboBox"),     QStringLiteral("LatitudeComboBox"),
        QStringLiteral("LongitudeComboBox")};
    return names;
}

// The kinds the mapping dialog offers per role.
ColumnKind kindOfRole(const QString &role)
{
    if (role == QLatin1String("control"))
        return ColumnKind::YesNo;
    if (role == QLatin1String("lat") || role == QLatin1String("lon"))
        return ColumnKind::Float;
    return ColumnKind::Text;
}

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

QStringList TBatchCommand::MappedColumns() const
{
    const auto store = MappingStore::OpenForReading();
    const QStringList &roles = BatchOptions::Roles();
    QStringList columns, missing;
    for (int i = 0; i < roles.size(); ++i) {
        QString column = m_options.columns.value(roles[i]);
        if (column.isEmpty() && store)
            column = store->Read(storeValueNames()[i]);
        if (column.isEmpty())
            missing << roles[i];
        columns << column;
    }
    if (!missing.isEmpty())
        throw UsageError(QStringLiteral("The mapping has no column for the role%1 %2: give --map ROLE=COLUMN "
                                        "or choose the columns once in the program.")
                             .arg(missing.size() > 1 ? QStringLiteral("s") : QString(),
                                  missing.join(QStringLiteral(", "))));
    return columns;
}

void TBatchCommand::CheckColumns(const QStringList &mappedColumns, const QList<ColumnDef> &tableColumns,
                                 const QString &table)
{
    const QStringList &roles = BatchOptions::Roles();
    for (int i = 0; i < roles.size(); ++i) {
        const auto column = std::find_if(tableColumns.begin(), tableColumns.end(), [&](const ColumnDef &c) {
            return c.name.compare(mappedColumns[i], Qt::CaseInsensitive) == 0;
        });
        if (column == tableColumns.end())
            throw UsageError(QStringLiteral("The table \"%1\" has no column \"%2\" (mapped to %3).")
                                 .arg(table, mappedColumns[i], roles[i]));
        const ColumnKind wanted = kindOfRole(roles[i]);
        if (column->kind != wanted)
            throw UsageError(QStringLiteral("The column \"%1\" mapped to %2 is %3; %2 needs %4.")
                                 .arg(column->name, roles[i], kindName(column->kind), kindName(wanted)));
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

    const QStringList columns = MappedColumns();
    RecordSet records;
    records.setConnection(&connection);
    TCustomerRecords::AddFieldSlots(records);
    TCustomerRecords::BindColumns(records, columns);

    if (m_options.query.isEmpty()) {
        const QString table = tableName();
        if (table.isEmpty())
            throw UsageError(QStringLiteral("No table given: use --table NAME or choose the table once in the program."));
        const QStringList tables = connection.tableNames();
        if (!tables.contains(table, Qt::CaseInsensitive))
            throw UsageError(QStringLiteral("The table \"%1\" does not exist in %2.").arg(table, m_options.database));
        // Only the first row, as the mapping dialog reads the column kinds.
        RecordSet probe;
        probe.setConnection(&connection);
        probe.setCommandText(QStringLiteral("select TOP 1 * from ") + table);
        probe.open();
        CheckColumns(columns, probe.columnDefs(), table);
        TCustomerRecords::OpenTable(records, table);
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

    if (!m_options.gazetteerFile.isEmpty())
        qputenv("ORVANE_USER_GAZETTEER", QFile::encodeName(QFileInfo(m_options.gazetteerFile).absoluteFilePath()));
    // The map is never shown; the map module only needs it embedded somewhere.
    OleContainer container;
    KartenModul().CreateMap(&container, m_options.northAmerica ? QStringLiteral("MapPoint.Map.NA.9")
                                                               : QStringLiteral("MapPoint.Map.EU.9"));

    const TColumnMapping mapping{columns[0], columns[2], columns[3], columns[4], columns[5],
                                 columns[7], columns[8], columns[6], columns[9], columns[10]};
    return TBatchGeocodeRun::Run(records, mapping, view);
}
