// orvane-batch over 100,000 records killed (SIGKILL) 20 times, each run going on where the
// database stands: every kill must leave a sound file in which each record holds either its
// complete new values or its old ones, earlier results kept and no record skipped. The first
// ten kills run with a rollback journal, the last ten in WAL mode over the records made pending
// again; half of them are aimed at a commit writing the file.
#include "RepeatedRecords.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QThread>

#include <algorithm>
#include <csignal>

namespace {
constexpr int Rows = 100000;
constexpr int Kills = 20;

const QString Pending = QStringLiteral("select * from kunden where MPAddress = 'before' order by rowid");

// Waits until 'changed' holds or the child ends; false when it ended or the wait ran out.
template<typename Changed> bool waitFor(QProcess &child, Changed changed, int timeoutMs = 20000)
{
    QElapsedTimer clock;
    clock.start();
    while (!changed()) {
        if (child.state() != QProcess::Running || clock.elapsed() > timeoutMs)
            return false;
        QThread::yieldCurrentThread();
    }
    return true;
}
} // namespace

TEST(KillDuringBatch, EveryKillLeavesCompleteOrUntouchedRecordsInASoundFile)
{
    const QHash<QString, QStringList> reference = ReferenceResults();
    ASSERT_FALSE(reference.isEmpty());

    ExampleCopy db;
    FillWithRepeatedRecords(db, Rows);
    const QString journal = db.path() + QStringLiteral("-journal");
    const QString wal = db.path() + QStringLiteral("-wal");
    const QStringList arguments = FullMapping() + QStringList{QStringLiteral("--query"), Pending};

    QRandomGenerator random(20261209);
    int done = 0;              // records with their new values, a stretch from the first record
    double perMs = 0;          // the most records a run saved per millisecond of writing so far
    int integrityOk = 0, halfWritten = 0, lostOrSkipped = 0, hotJournals = 0, killedWriting = 0;
    for (int kill = 0; kill < Kills; ++kill) {
        const bool walMode = kill >= Kills / 2;
        if (kill == Kills / 2) {
            // WAL runs go several times faster: they get the whole table again.
            db.exec(QStringLiteral("update kunden set MPStatus = 'before', MPAddress = 'before', W2MP = -1.0,"
                                   " W1MP = -1.0, MPControlGeocode = 1"));
            ASSERT_EQ(db.scalar(QStringLiteral("pragma journal_mode=wal")), QStringLiteral("wal"));
            done = 0;
            perMs = 0;
        }
        const QString log = walMode ? wal : journal;

        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        db.start(child, arguments);
        ASSERT_TRUE(child.waitForStarted());
        // The run writes once its start-up is over: the journal appears, or the WAL fills.
        ASSERT_TRUE(waitFor(child, [&] { return FileStamp(log).first > 0; })) << "the run never wrote, kill " << kill;
        QElapsedTimer writing;
        writing.start();
        const bool aimAtCommit = kill % 2 == 1;
        qint64 committing = 0;   // the journal of the transaction whose commit was seen writing
        if (aimAtCommit) {
            // A commit is under way when the file itself (rollback journal) or the WAL changes.
            const QString written = walMode ? wal : db.path();
            for (int commits = 1 + int(random.bounded(walMode ? 1 : 2)); commits > 0; --commits) {
                const auto stamp = FileStamp(written);
                ASSERT_TRUE(waitFor(child, [&] { return FileStamp(written) != stamp; }));
            }
            committing = walMode ? 0 : FileBirth(journal);
        } else {
            // WAL commits cost no sync: the run is several times faster there. At the fastest
            // rate seen, a kill leaves work for those still to come.
            qint64 maxDelayUs = walMode ? 200000 : 400000;
            if (perMs > 0)
                maxDelayUs = std::min(maxDelayUs, qint64((Rows - done) / double(Kills - kill + 1) / perMs * 1000));
            QThread::usleep(random.bounded(quint32(std::max<qint64>(maxDelayUs, 1))));
        }
        ::kill(pid_t(child.processId()), SIGKILL);
        const qint64 writingMs = writing.elapsed();
        child.waitForFinished();
        ASSERT_EQ(child.exitStatus(), QProcess::CrashExit) << "the run ended before the kill " << kill;
        // A journal left behind means the kill fell inside a transaction; the same journal as
        // when the file was being written, inside its commit.
        if (!walMode && FileStamp(journal).first > 0) {
            ++hotJournals;
            killedWriting += committing != 0 && FileBirth(journal) == committing ? 1 : 0;
        }

        integrityOk += db.scalar(QStringLiteral("pragma integrity_check")) == QStringLiteral("ok") ? 1 : 0;
        const QList<QStringList> now = Results(db);
        ASSERT_EQ(now.size(), Rows);
        int newDone = 0;
        bool inStretch = true;
        for (int i = 0; i < Rows; ++i) {
            const QStringList values = now[i].mid(1);
            const bool isNew = values == reference.value(OriginalOf(now[i][0]));
            if (!isNew && values != Untouched()) {
                ++halfWritten;
                ADD_FAILURE() << "half-written record " << qPrintable(now[i].join(QLatin1Char('|'))) << ", kill " << kill;
            }
            if (isNew && !inStretch)
                ++lostOrSkipped;   // posted after a record that was not
            if (!isNew && i < done)
                ++lostOrSkipped;   // saved by an earlier run, lost now
            inStretch = inStretch && isNew;
            newDone += isNew && inStretch ? 1 : 0;
        }
        ASSERT_LT(newDone, Rows) << "the run finished before kill " << kill;
        if (writingMs > 0)
            perMs = std::max(perMs, (newDone - done) / double(writingMs));
        done = newDone;
        std::printf("kill %d (%s, %s): %d records done\n", kill, walMode ? "WAL" : "rollback journal",
                    aimAtCommit ? "at a commit" : "at a random moment", done);
    }
    EXPECT_EQ(integrityOk, Kills);
    EXPECT_EQ(halfWritten, 0);
    EXPECT_EQ(lostOrSkipped, 0);
    // Some kills must have caught a transaction, and some its commit.
    EXPECT_GT(hotJournals, 0);
    std::printf("kills %d: integrity ok %d, half-written records %d, lost or skipped %d, "
                "inside a transaction %d (writing the file %d), records done before the last run %d\n",
                Kills, integrityOk, halfWritten, lostOrSkipped, hotJournals, killedWriting, done);

    // The last run finishes the rest, and its summary counts exactly those records.
    const BatchOutcome last = db.run(arguments);
    ASSERT_EQ(last.exitCode, 0) << qPrintable(last.err);
    const auto [geocoded, notGeocoded] = Summary(last.out);
    EXPECT_EQ(geocoded + notGeocoded, Rows - done);
    EXPECT_EQ(db.scalar(QStringLiteral("pragma integrity_check")), QStringLiteral("ok"));
    int complete = 0;
    for (const QStringList &row : Results(db))
        complete += row.mid(1) == reference.value(OriginalOf(row[0])) ? 1 : 0;
    EXPECT_EQ(complete, Rows);
}
