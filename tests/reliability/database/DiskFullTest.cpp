// orvane-batch on a database that cannot grow past a limit (the file size limit of the process,
// as a full disk): the run stops with a message naming the cause, the file stays sound, and no
// record is reported written that is not.
#include "RepeatedRecords.h"

#include <QFileInfo>

#include <csignal>
#include <sys/resource.h>

namespace {
constexpr int Rows = 6000;

struct LimitedRun {
    BatchOutcome outcome;
    int done = 0;        // records with their new values, from the first one on
    bool sound = false;  // integrity ok, every record complete or untouched, none skipped
};

LimitedRun runWithSizeLimit(const QHash<QString, QStringList> &reference, qint64 extraPages)
{
    ExampleCopy db;
    FillWithRepeatedRecords(db, Rows);
    const qint64 pageSize = db.scalar(QStringLiteral("pragma page_size")).toLongLong();
    const rlim_t limit = rlim_t(QFileInfo(db.path()).size() + extraPages * pageSize);

    QProcess child;
    // A write past the limit fails with EFBIG instead of killing the process.
    child.setChildProcessModifier([limit] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit size{limit, limit};
        setrlimit(RLIMIT_FSIZE, &size);
    });
    db.start(child, QStringList{QStringLiteral("--table"), QStringLiteral("kunden")} + FullMapping());
    EXPECT_TRUE(child.waitForFinished(60000));
    LimitedRun run;
    run.outcome = {child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1,
                   QString::fromUtf8(child.readAllStandardOutput()), QString::fromUtf8(child.readAllStandardError())};

    run.sound = db.scalar(QStringLiteral("pragma integrity_check")) == QStringLiteral("ok");
    bool inStretch = true;
    for (const QStringList &row : Results(db)) {
        const bool isNew = row.mid(1) == reference.value(OriginalOf(row[0]));
        if ((!isNew && row.mid(1) != Untouched()) || (isNew && !inStretch))
            run.sound = false;
        inStretch = inStretch && isNew;
        run.done += isNew ? 1 : 0;
    }
    return run;
}
} // namespace

TEST(DiskFull, RunStopsNamingTheCauseAndKeepsTheFileSound)
{
    const QHash<QString, QStringList> reference = ReferenceResults();
    int stopped = 0;
    for (const qint64 extraPages : {0, 8, 16, 24, 32, 48, 100000}) {
        const LimitedRun run = runWithSizeLimit(reference, extraPages);
        EXPECT_TRUE(run.sound) << "limit +" << extraPages << " pages";
        const auto [geocoded, notGeocoded] = Summary(run.outcome.out);
        if (run.outcome.exitCode == 0) {
            // Completed: the summary counts exactly what the file holds.
            EXPECT_EQ(geocoded + notGeocoded, Rows);
            EXPECT_EQ(run.done, Rows);
        } else {
            ++stopped;
            EXPECT_EQ(run.outcome.exitCode, 1) << qPrintable(run.outcome.err);
            EXPECT_EQ(geocoded, -1) << "a summary after a failed write";
            EXPECT_TRUE(run.outcome.err.contains(QStringLiteral("disk is full"))
                        || run.outcome.err.contains(QStringLiteral("disk refused to write")))
                << qPrintable(run.outcome.err);
            EXPECT_FALSE(run.outcome.err.contains(QStringLiteral("disk I/O error"))) << qPrintable(run.outcome.err);
            EXPECT_LT(run.done, Rows);
        }
        std::printf("limit +%lld pages: exit %d, %d of %d records written, %s", qint64(extraPages), run.outcome.exitCode,
                    run.done, Rows, run.outcome.exitCode == 0 ? "completed\n" : qPrintable(run.outcome.err));
    }
    EXPECT_GE(stopped, 3);
}
