#include "RunHistory.h"

#include "RecordedRun.h"

#include <Connection.h>
#include <DataError.h>
#include <DatabaseProvider.h>

#include <QHash>
#include <QStringList>

namespace {

QString identityOf(Connection &connection)
{
    const QString identity = connection.provider().identity();
    if (identity.isEmpty())
        throw DataError(QStringLiteral("The database '%1' is only read, never written: there is no run to undo.")
                            .arg(connection.fileName()));
    return identity;
}

// Whether the column of the row holds the value, compared as the journal keeps it.
bool holds(const QueryCursor &row, int column, const QVariant &value)
{
    if (value.isNull() || row.isNull(column))
        return value.isNull() && row.isNull(column);
    switch (value.typeId()) {
    case QMetaType::Double: return row.floatAt(column) == value.toDouble();
    case QMetaType::Bool: return (row.integerAt(column) != 0) == value.toBool();
    case QMetaType::Int:
    case QMetaType::LongLong: return row.integerAt(column) == value.toLongLong();
    default: break;
    }
    const std::string_view text = row.utf8At(column);
    const QByteArray expected = value.typeId() == QMetaType::QByteArray ? value.toByteArray() : value.toString().toUtf8();
    return text == std::string_view(expected.constData(), size_t(expected.size()));
}

bool holdsAll(const QueryCursor &row, const ColumnValues &values)
{
    for (qsizetype i = 0; i < values.size(); ++i)
        if (!holds(row, int(i), values[i].second))
            return false;
    return true;
}

// One entry per record of a run: the values before its first post and after its last.
QList<RunJournal::Post> recordsOf(const QList<RunJournal::Post> &posts)
{
    QList<RunJournal::Post> records;
    QHash<QString, qsizetype> index;
    for (const RunJournal::Post &post : posts) {
        QString id = post.table;
        for (const auto &[column, value] : post.key)
            id += QLatin1Char('\x1f') + column + QLatin1Char('=') + value.toString();
        const auto known = index.constFind(id);
        if (known == index.constEnd()) {
            index.insert(id, records.size());
            records << post;
        } else {
            records[*known].after = post.after;
        }
    }
    return records;
}

QStringList namesOf(const ColumnValues &values)
{
    QStringList names;
    for (const auto &[column, value] : values)
        names << column;
    return names;
}

} // namespace

TRunHistory::TRunHistory(Connection &connection)
    : m_connection(connection), m_journal(TRecordedRun::JournalFolder(), identityOf(connection))
{
}

QList<RunJournal::Run> TRunHistory::Runs() const
{
    return m_journal.runs();
}

QString TRunHistory::Describe(const RunJournal::Run &run)
{
    QString text = QStringLiteral("run %1 (%2, %3 record%4").arg(run.number).arg(run.what).arg(run.records)
                       .arg(run.records == 1 ? QString() : QStringLiteral("s"));
    if (!run.table.isEmpty())
        text += QStringLiteral(" of %1").arg(run.table);
    text += QStringLiteral(", %1)").arg(run.started.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")));
    return text;
}

QString TRunHistory::RunsText() const
{
    const QList<RunJournal::Run> runs = Runs();
    if (runs.isEmpty())
        return QStringLiteral("No run of this database has been recorded.\n");
    QString text = QStringLiteral("Run  When                 Records  Table and columns, what\n");
    for (const RunJournal::Run &run : runs) {
        text += QStringLiteral("%1  %2  %3  %4 (%5), %6%7\n")
                    .arg(run.number, 3)
                    .arg(run.started.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))
                    .arg(run.records, 7)
                    .arg(run.table, run.columns.join(QStringLiteral(", ")), run.what,
                         run.finished ? QString() : QStringLiteral(", stopped before its end"));
    }
    return text;
}

RunJournal::Run TRunHistory::Find(qint64 number) const
{
    const QList<RunJournal::Run> runs = Runs();
    if (runs.isEmpty())
        throw DataError(QStringLiteral("No run of this database has been recorded: there is nothing to undo."));
    if (number == 0)
        return runs.first();
    for (const RunJournal::Run &run : runs)
        if (run.number == number)
            return run;
    throw DataError(QStringLiteral("There is no run %1 of this database; the last %2 runs are kept (orvane-batch "
                                   "DATABASE --runs lists them).").arg(number).arg(RunJournal::KeptRuns));
}

TUndoCounts TRunHistory::Undo(qint64 number)
{
    const RunJournal::Run run = Find(number);
    const QList<RunJournal::Post> records = recordsOf(m_journal.posts(run.number));
    DatabaseProvider &provider = m_connection.provider();
    provider.checkWritable();

    TUndoCounts counts;
    m_journal.beginRun(QStringLiteral("Undo of run %1").arg(run.number));
    provider.beginTransaction();
    try {
        for (const RunJournal::Post &record : records) {
            const auto row = provider.select(record.table, namesOf(record.after), record.key);
            if (!row->next()) {
                ++counts.Deleted;
            } else if (holdsAll(*row, record.after)) {
                // The run's values, compared again by the update itself: what it puts back
                // replaces exactly what the run wrote.
                const ColumnValues where = record.key + record.after;
                m_journal.recordUpdate(record.table, record.key, record.after, record.before);
                if (provider.update(record.table, record.before, where) == 1)
                    ++counts.Restored;
                else
                    ++counts.Changed;
            } else if (holdsAll(*row, record.before)) {
                ++counts.AsBefore;
            } else {
                ++counts.Changed;
            }
        }
    } catch (...) {
        // The records restored so far are kept, as after a run that failed.
        try {
            m_journal.makeDurable();
            provider.commitTransaction();
        } catch (const DataError &) {
        }
        m_journal.endRun(false);
        throw;
    }
    m_journal.makeDurable();
    provider.commitTransaction();
    m_journal.endRun(true);
    return counts;
}

QString TRunHistory::SummaryText(const TUndoCounts &counts)
{
    QStringList why;
    if (counts.Changed > 0)
        why << QStringLiteral("%1 changed since the run").arg(counts.Changed);
    if (counts.Deleted > 0)
        why << QStringLiteral("%1 deleted since the run").arg(counts.Deleted);
    if (counts.AsBefore > 0)
        why << QStringLiteral("%1 held their earlier values already").arg(counts.AsBefore);
    QString text = QStringLiteral("Records restored: %1\nRecords left alone: %2").arg(counts.Restored).arg(counts.LeftAlone());
    if (!why.isEmpty())
        text += QStringLiteral(" (%1)").arg(why.join(QStringLiteral(", ")));
    return text;
}
