// One SQLite library in the programs, and no file handle on a database once its connection is
// closed: two copies of the library would each think they alone lock the file, and a handle left
// open keeps a removed or replaced database alive.
#include "RepeatedRecords.h"

#include <Connection.h>
#include <DataError.h>
#include <RecordSet.h>

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QThread>

#include <csignal>
#include <unistd.h>

namespace {
QString output(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    EXPECT_TRUE(process.waitForFinished(30000)) << qPrintable(program);
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

// SQLite libraries the program loads, plus one when the program holds a copy of its own.
int sqliteLibraries(const QString &program)
{
    QSet<QString> libraries;
    for (const QString &line : output(QStringLiteral("ldd"), {program}).split(QLatin1Char('\n')))
        if (line.contains(QStringLiteral("sqlite"), Qt::CaseInsensitive))
            libraries.insert(line.trimmed().section(QLatin1Char(' '), 0, 0));
    const bool ownCopy = output(QStringLiteral("nm"), {QStringLiteral("--defined-only"), program})
                             .contains(QStringLiteral(" sqlite3_open_v2\n"));
    return int(libraries.size()) + (ownCopy ? 1 : 0);
}

// Open descriptors of this process on the database or its journal, WAL and shared-memory files.
int handlesOn(const QString &database)
{
    int count = 0;
    const QString canonical = QFileInfo(database).canonicalFilePath();
    for (const QString &fd : QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        char target[4096];
        const ssize_t n = readlink(qPrintable(QStringLiteral("/proc/self/fd/") + fd), target, sizeof target);
        if (n > 0 && QString::fromLocal8Bit(target, n).startsWith(canonical))
            ++count;
    }
    return count;
}

QString connectionText(const QString &path)
{
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + path;
}
} // namespace

TEST(OneSqlite, ProgramsLinkOneSqliteLibrary)
{
    EXPECT_EQ(sqliteLibraries(QStringLiteral(ORVANE_BATCH_PROGRAM)), 1);
#ifdef ORVANE_PROGRAM
    EXPECT_EQ(sqliteLibraries(QStringLiteral(ORVANE_PROGRAM)), 1);
#endif

    // And at run time no second one is loaded: the command's mappings while it reads a query.
    ExampleCopy db;
    QProcess child;
    db.start(child, FullMapping() + QStringList{QStringLiteral("--query"),
                                                QStringLiteral("with recursive r(n) as (select 1 union all select n + 1 "
                                                               "from r) select kunden.* from kunden, r")});
    ASSERT_TRUE(child.waitForStarted());
    QSet<QString> mapped;
    for (int i = 0; i < 500 && child.state() == QProcess::Running && mapped.isEmpty(); ++i) {
        QThread::msleep(20);
        QFile maps(QStringLiteral("/proc/%1/maps").arg(child.processId()));
        if (maps.open(QIODevice::ReadOnly))
            for (const QByteArray &line : maps.readAll().split('\n'))
                if (line.contains("sqlite") && !line.contains("kunden"))
                    mapped.insert(QString::fromLocal8Bit(line.mid(line.indexOf('/'))));
    }
    EXPECT_EQ(mapped.size(), 1) << qPrintable(QStringList(mapped.values()).join(QLatin1Char(' ')));
    ::kill(pid_t(child.processId()), SIGTERM);
    EXPECT_TRUE(child.waitForFinished(20000));
}

TEST(OneSqlite, ClosedConnectionHoldsNoHandleOnTheDatabase)
{
    for (const bool wal : {false, true}) {
        ExampleCopy db;
        if (wal)
            db.exec(QStringLiteral("pragma journal_mode=wal"));
        {
            Connection connection;
            connection.setConnectionText(connectionText(db.path()));
            connection.open();
            RecordSet records;
            records.setConnection(&connection);
            records.setCommandText(QStringLiteral("select * from kunden"));
            records.open();
            records.edit();
            records.fieldByName(QStringLiteral("Name1")).setAsString(QStringLiteral("changed"));
            records.post();
            EXPECT_GT(handlesOn(db.path()), 0);
            connection.close();
            EXPECT_EQ(handlesOn(db.path()), 0) << (wal ? "WAL" : "rollback journal");
            records.close();
        }
        EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from kunden where Name1 = 'changed'")), QStringLiteral("1"));
    }
}

TEST(OneSqlite, FailedOpenHoldsNoHandle)
{
    ExampleCopy db;
    // Locked by another program for longer than the busy timeout.
    sqlite3 *locker = nullptr;
    sqlite3_open(db.path().toUtf8().constData(), &locker);
    ASSERT_EQ(sqlite3_exec(locker, "BEGIN EXCLUSIVE; UPDATE kunden SET Name1 = 'x'", nullptr, nullptr, nullptr), SQLITE_OK);
    Connection connection;
    connection.setConnectionText(connectionText(db.path()));
    EXPECT_THROW(connection.open(), DataError);
    // SQLite closes the file of a connection only once no other connection of the process holds
    // a lock on it (POSIX locks belong to the process), so count when the locker is gone.
    sqlite3_exec(locker, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(locker);
    EXPECT_EQ(handlesOn(db.path()), 0);

    // Damaged: cut in the middle of a page.
    QFile file(db.path());
    ASSERT_TRUE(file.resize(file.size() / 2 + 100));
    EXPECT_THROW(connection.open(), DataError);
    EXPECT_EQ(handlesOn(db.path()), 0);
}
