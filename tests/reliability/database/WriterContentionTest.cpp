// Another program holds the database locked while orvane-batch runs: a lock released within the
// busy timeout costs only the wait, a longer one ends the run with a message naming the lock,
// after the timeout and not after the lock, with nothing written or skipped.
#include "RepeatedRecords.h"

#include <QElapsedTimer>
#include <QThread>

#include <sys/syscall.h>

namespace {
const QStringList Arguments = QStringList{QStringLiteral("--table"), QStringLiteral("kunden")} + FullMapping();

// A second program's connection holding a lock: RESERVED (a write under way, readers go on)
// or EXCLUSIVE (nobody else reads either).
class Locker {
public:
    Locker(const QString &path, bool exclusive)
    {
        sqlite3_open(path.toUtf8().constData(), &m_db);
        EXPECT_EQ(sqlite3_exec(m_db, exclusive ? "BEGIN EXCLUSIVE" : "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(m_db, "UPDATE kunden SET Name1 = 'locker'", nullptr, nullptr, nullptr), SQLITE_OK);
    }
    ~Locker()
    {
        release();
        sqlite3_close(m_db);
    }
    void release()
    {
        if (!sqlite3_get_autocommit(m_db))
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    }

private:
    sqlite3 *m_db = nullptr;
};

// True while the child's main thread sleeps in a system call, as SQLite's busy handler does
// between its tries for a lock.
bool sleeping(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/syscall").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const long number = file.readAll().split(' ').value(0).toLong();
    return number == SYS_nanosleep || number == SYS_clock_nanosleep;
}

// Waits until the child waits for the lock: asleep at several looks in a row.
bool waitsForLock(QProcess &child)
{
    int asleep = 0;
    for (int i = 0; i < 3000 && child.state() == QProcess::Running; ++i) {
        asleep = sleeping(child.processId()) ? asleep + 1 : 0;
        if (asleep >= 5)
            return true;
        QThread::msleep(2);
    }
    return false;
}

struct Contended {
    BatchOutcome outcome;
    qint64 waitedMs = 0;   // from the child's first try for the lock to its end or the release
};

// Runs the command against a lock held for 'holdMs' after the child started waiting for it.
Contended runAgainstLock(const ExampleCopy &db, bool exclusive, int holdMs)
{
    Contended result;
    Locker lock(db.path(), exclusive);
    QProcess child;
    db.start(child, Arguments);
    EXPECT_TRUE(child.waitForStarted());
    EXPECT_TRUE(waitsForLock(child)) << "the command never waited for the lock";
    QElapsedTimer clock;
    clock.start();
    if (!child.waitForFinished(holdMs))
        lock.release();
    result.waitedMs = clock.elapsed();
    EXPECT_TRUE(child.state() == QProcess::NotRunning || child.waitForFinished(60000));
    result.outcome = {child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1,
                      QString::fromUtf8(child.readAllStandardOutput()), QString::fromUtf8(child.readAllStandardError())};
    return result;
}

int untouchedRecords(const ExampleCopy &db)
{
    return db.scalar(QStringLiteral("select count(*) from kunden where MPAddress = 'before'")).toInt();
}
} // namespace

TEST(WriterContention, LockReleasedWithinTheBusyTimeoutOnlyDelaysTheRun)
{
    for (const bool exclusive : {false, true}) {
        ExampleCopy db;
        FillWithRepeatedRecords(db, 2000);
        const Contended run = runAgainstLock(db, exclusive, 500);
        EXPECT_EQ(run.outcome.exitCode, 0) << (exclusive ? "exclusive: " : "reserved: ") << qPrintable(run.outcome.err);
        const auto [geocoded, notGeocoded] = Summary(run.outcome.out);
        EXPECT_EQ(geocoded + notGeocoded, 2000);
        EXPECT_EQ(untouchedRecords(db), 0);
        EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from kunden where Name1 = 'locker'")), QStringLiteral("0"));
        std::printf("%s lock held 0.5 s: run completed, %d + %d records\n", exclusive ? "exclusive" : "write", geocoded,
                    notGeocoded);
    }
}

TEST(WriterContention, LongLockEndsTheRunAfterTheBusyTimeoutNamingTheLock)
{
    for (const bool exclusive : {false, true}) {
        ExampleCopy db;
        FillWithRepeatedRecords(db, 2000);
        const QByteArray hash = db.fileHash();
        const Contended run = runAgainstLock(db, exclusive, 30000);
        EXPECT_EQ(run.outcome.exitCode, 1) << qPrintable(run.outcome.out);
        EXPECT_TRUE(run.outcome.err.contains(QStringLiteral("locked"))) << qPrintable(run.outcome.err);
        EXPECT_TRUE(run.outcome.err.contains(QStringLiteral("another program"))) << qPrintable(run.outcome.err);
        EXPECT_EQ(Summary(run.outcome.out).first, -1);
        // Ended by the busy timeout (2 s), long before the lock would have been released.
        EXPECT_LT(run.waitedMs, 15000);
        EXPECT_EQ(db.fileHash(), hash);
        EXPECT_EQ(untouchedRecords(db), 2000);
        std::printf("%s lock held 30 s: ended after %lld ms: %s", exclusive ? "exclusive" : "write",
                    qint64(run.waitedMs), qPrintable(run.outcome.err));
    }
}
