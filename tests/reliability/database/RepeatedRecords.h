#pragma once

// Larger customer tables made of the example records, and what a run leaves in them.
#include <BatchProcess.h>

#include <QHash>

#include <fcntl.h>
#include <sys/stat.h>

inline const QString &ResultColumns()
{
    static const QString columns = QStringLiteral("MPStatus, MPAddress, W2MP, W1MP, MPControlGeocode");
    return columns;
}

// The example records repeated to 'rows' records ("K11001-7" is the eighth copy of K11001),
// every result column holding a value no run writes ("before", -1.0, yes).
inline void FillWithRepeatedRecords(const ExampleCopy &db, int rows)
{
    db.exec(QStringLiteral(
        "BEGIN;"
        "CREATE TEMP TABLE original AS SELECT * FROM kunden;"
        "DELETE FROM kunden;"
        "WITH RECURSIVE copy(n) AS (SELECT 0 UNION ALL SELECT n + 1 FROM copy WHERE n < 1000)"
        " INSERT INTO kunden (Nr, KolmNummer, Name1, LandKennz, Plz, Ort, Strasse, Angelegt, MPControlGeocode,"
        "   MPStatus, MPAddress, W2MP, W1MP, Bemerkung)"
        " SELECT o.Nr + copy.n * 10000, o.KolmNummer || '-' || copy.n, o.Name1, o.LandKennz, o.Plz, o.Ort, o.Strasse,"
        "   o.Angelegt, 1, 'before', 'before', -1.0, -1.0, o.Bemerkung"
        " FROM copy CROSS JOIN original o ORDER BY copy.n, o.rowid LIMIT %1;"
        "COMMIT;").arg(rows));
}

inline QString OriginalOf(const QString &identifier)
{
    return identifier.left(identifier.lastIndexOf(QLatin1Char('-')));
}

// The result columns of each example record after a complete run, by identifier.
inline QHash<QString, QStringList> ReferenceResults()
{
    ExampleCopy db;
    const BatchOutcome run = db.run(QStringList{QStringLiteral("--table"), QStringLiteral("kunden")} + FullMapping());
    EXPECT_EQ(run.exitCode, 0) << qPrintable(run.err);
    QHash<QString, QStringList> results;
    for (const QStringList &row : db.rows(QStringLiteral("select KolmNummer, %1 from kunden").arg(ResultColumns())))
        results.insert(row[0], row.mid(1));
    return results;
}

// Identifier and result columns of every record in rowid order, the run's order.
inline QList<QStringList> Results(const ExampleCopy &db)
{
    return db.rows(QStringLiteral("select KolmNummer, %1 from kunden order by rowid").arg(ResultColumns()));
}

inline const QStringList &Untouched()
{
    static const QStringList before = {QStringLiteral("before"), QStringLiteral("before"), QStringLiteral("-1.0"),
                                       QStringLiteral("-1.0"), QStringLiteral("1")};
    return before;
}

// The two summary lines of a completed run as numbers; {-1, -1} when there are none.
inline std::pair<int, int> Summary(const QString &out)
{
    const QStringList lines = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (lines.size() < 2 || !lines[lines.size() - 2].startsWith(QStringLiteral("Records geocoded: "))
        || !lines.last().startsWith(QStringLiteral("Records not geocoded: ")))
        return {-1, -1};
    return {lines[lines.size() - 2].section(QLatin1Char(' '), 2).toInt(), lines.last().section(QLatin1Char(' '), 3).toInt()};
}

inline bool FileExists(const QString &path)
{
    struct stat st;
    return ::stat(path.toLocal8Bit().constData(), &st) == 0;
}

// Size and modification time in nanoseconds, 0 for a missing file.
inline std::pair<qint64, qint64> FileStamp(const QString &path)
{
    struct stat st;
    if (::stat(path.toLocal8Bit().constData(), &st) != 0)
        return {0, 0};
    return {qint64(st.st_size), qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

// When the file was created, in nanoseconds; 0 when missing. A file deleted and made again is
// a new file even when it gets the same inode.
inline qint64 FileBirth(const QString &path)
{
    struct statx st;
    if (statx(AT_FDCWD, path.toLocal8Bit().constData(), 0, STATX_BTIME, &st) != 0 || !(st.stx_mask & STATX_BTIME))
        return 0;
    return qint64(st.stx_btime.tv_sec) * 1000000000 + st.stx_btime.tv_nsec;
}
