// Hostile SQL selection texts through the record set, as the SQL selection and orvane-batch
// --query pass them: nothing but the user's one statement ever runs, no other database file is
// reached, a runaway query can be stopped, and huge texts stay out of the messages.
#include "RepeatedRecords.h"

#include <Connection.h>
#include <DataError.h>
#include <RecordSet.h>

#include <QFileInfo>
#include <QThread>

#include <atomic>
#include <csignal>
#include <thread>

namespace {
const QString Runaway = QStringLiteral("with recursive r(n) as (select 1 union all select n + 1 from r) ");

class HostileSelection : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_connection.setConnectionText(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + m_db.path());
        m_connection.open();
        m_records.setConnection(&m_connection);
        m_hash = m_db.fileHash();
    }

    // The DataError text of opening 'sql'; empty when it opened.
    QString openError(const QString &sql)
    {
        m_records.close();
        m_records.setCommandText(sql);
        try {
            m_records.open();
        } catch (const DataError &e) {
            EXPECT_FALSE(m_records.isActive());
            return e.message();
        }
        return {};
    }

    void expectUnchanged()
    {
        m_connection.close();
        EXPECT_EQ(m_db.fileHash(), m_hash);
        EXPECT_EQ(m_db.scalar(QStringLiteral("select count(*) from kunden")), QStringLiteral("323"));
    }

    ExampleCopy m_db;
    Connection m_connection;
    RecordSet m_records;
    QByteArray m_hash;
};
} // namespace

TEST_F(HostileSelection, OnlyOneStatementIsEverRun)
{
    for (const QString &sql : {QStringLiteral("select * from kunden; delete from kunden"),
                               QStringLiteral("delete from kunden; select * from kunden"),
                               QStringLiteral("select * from kunden;\n-- the rest\nupdate kunden set Name1 = 'x'"),
                               QStringLiteral("select * from kunden; drop table kunden;"),
                               QStringLiteral("select * from kunden; not even sql")}) {
        const QString error = openError(sql);
        EXPECT_TRUE(error.contains(QStringLiteral("only one statement can be run"))) << qPrintable(sql) << ": " << qPrintable(error);
    }
    // Blanks, comments and semicolons after the statement are no second statement.
    for (const QString &sql : {QStringLiteral("select * from kunden;"), QStringLiteral("select * from kunden ;; \n"),
                               QStringLiteral("select * from kunden -- all\n"),
                               QStringLiteral("select * from kunden; /* all */ ;")}) {
        EXPECT_EQ(openError(sql), QString()) << qPrintable(sql);
        EXPECT_EQ(m_records.recordCount(), 323);
    }
    expectUnchanged();
}

TEST_F(HostileSelection, NoOtherDatabaseIsAttachedOrDetached)
{
    const QString other = m_db.folder() + QStringLiteral("/other.sqlite");
    for (const QString &sql : {QStringLiteral("attach database '%1' as other").arg(other),
                               QStringLiteral("ATTACH '%1' AS other").arg(other),
                               QStringLiteral("detach database main")}) {
        const QString error = openError(sql);
        EXPECT_TRUE(error.contains(QStringLiteral("cannot attach or detach"))) << qPrintable(sql) << ": " << qPrintable(error);
    }
    EXPECT_FALSE(QFileInfo::exists(other));
    EXPECT_EQ(openError(QStringLiteral("select * from kunden")), QString());
    expectUnchanged();
}

TEST_F(HostileSelection, RunawayQueryIsStoppedByInterrupt)
{
    // Rows without end, and a count without end that yields no row at all.
    for (const QString &sql : {Runaway + QStringLiteral("select * from kunden, r"),
                               Runaway + QStringLiteral("select count(*) from r")}) {
        std::atomic<bool> ended{false};
        // An interrupt before the query reads stops it too; repeated, the test cannot depend on timing.
        std::thread stopper([&] {
            while (!ended) {
                m_connection.interrupt();
                QThread::msleep(20);
            }
        });
        const QString error = openError(sql);
        ended = true;
        stopper.join();
        EXPECT_TRUE(error.contains(QStringLiteral("stopped"))) << qPrintable(error);
    }
    // A stop never outlives its query.
    EXPECT_EQ(openError(QStringLiteral("select * from kunden")), QString());
    EXPECT_EQ(m_records.recordCount(), 323);
    expectUnchanged();
}

TEST_F(HostileSelection, MegabyteLiteralRunsAndStaysOutOfMessages)
{
    const QString literal(1 << 20, QLatin1Char('x'));
    EXPECT_EQ(openError(QStringLiteral("select * from kunden where Name1 <> '%1'").arg(literal)), QString());
    EXPECT_EQ(m_records.recordCount(), 323);
    EXPECT_EQ(openError(QStringLiteral("select * from kunden where Name1 = '%1'").arg(literal)), QString());
    EXPECT_EQ(m_records.recordCount(), 0);

    const QString broken = openError(QStringLiteral("select * from kunden where Name1 = '%1' and").arg(literal));
    EXPECT_FALSE(broken.isEmpty());
    EXPECT_LT(broken.size(), 1000);
    const QString twice = openError(QStringLiteral("select '%1'; select '%1'").arg(literal));
    EXPECT_TRUE(twice.contains(QStringLiteral("only one statement"))) << qPrintable(twice.left(300));
    EXPECT_LT(twice.size(), 1000);
    expectUnchanged();
}

namespace {
// True once the child blocks SIGINT and SIGTERM, i.e. its stop watcher takes them.
bool watchesStopSignals(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("SigBlk:")) {
            const quint64 mask = line.mid(7).trimmed().toULongLong(nullptr, 16);
            const quint64 wanted = (1ull << (SIGINT - 1)) | (1ull << (SIGTERM - 1));
            return (mask & wanted) == wanted;
        }
    return false;
}

bool waitUntilWatching(QProcess &child)
{
    for (int i = 0; i < 1000 && child.state() == QProcess::Running; ++i) {
        if (watchesStopSignals(child.processId()))
            return true;
        QThread::msleep(10);
    }
    return false;
}
} // namespace

TEST(StopSignal, RunawayQueryOfTheCommandEndsOnSigint)
{
    ExampleCopy db;
    const QByteArray hash = db.fileHash();
    QProcess child;
    db.start(child, FullMapping() + QStringList{QStringLiteral("--query"), Runaway + QStringLiteral("select kunden.* from kunden, r")});
    ASSERT_TRUE(child.waitForStarted());
    ASSERT_TRUE(waitUntilWatching(child));
    QThread::msleep(300);   // well into the query, or not: a stop holds either way
    ::kill(pid_t(child.processId()), SIGINT);
    ASSERT_TRUE(child.waitForFinished(20000));
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 1);
    EXPECT_TRUE(QString::fromUtf8(child.readAllStandardError()).contains(QStringLiteral("stopped by SIGINT")));
    EXPECT_EQ(db.fileHash(), hash);
}

TEST(StopSignal, RunEndsOnSigtermWithEveryRecordBeforeSaved)
{
    constexpr int Rows = 100000;   // far more than a run posts in the 0.3 s before the signal
    const QHash<QString, QStringList> reference = ReferenceResults();
    ExampleCopy db;
    FillWithRepeatedRecords(db, Rows);
    QProcess child;
    db.start(child, QStringList{QStringLiteral("--table"), QStringLiteral("kunden")} + FullMapping());
    ASSERT_TRUE(child.waitForStarted());
    // Once records are being written.
    for (int i = 0; i < 2000 && !FileExists(db.path() + QStringLiteral("-journal")); ++i)
        QThread::msleep(10);
    QThread::msleep(300);
    ::kill(pid_t(child.processId()), SIGTERM);
    ASSERT_TRUE(child.waitForFinished(20000));
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 1);
    EXPECT_TRUE(QString::fromUtf8(child.readAllStandardError()).contains(QStringLiteral("stopped by SIGTERM")));
    EXPECT_FALSE(FileExists(db.path() + QStringLiteral("-journal")));   // committed, not left to roll back

    int done = 0;
    bool inStretch = true;
    for (const QStringList &row : Results(db)) {
        const bool isNew = row.mid(1) == reference.value(OriginalOf(row[0]));
        EXPECT_TRUE(isNew || row.mid(1) == Untouched()) << qPrintable(row.join(QLatin1Char('|')));
        EXPECT_FALSE(isNew && !inStretch) << "record skipped before " << qPrintable(row[0]);
        inStretch = inStretch && isNew;
        done += isNew ? 1 : 0;
    }
    EXPECT_GT(done, 0);
    EXPECT_LT(done, Rows);
}
