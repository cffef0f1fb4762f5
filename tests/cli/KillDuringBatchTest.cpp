// A batch run killed at random moments leaves every record either with its complete new values
// or as it was, in a database that passes its integrity check.
#include "BatchProcess.h"

#include <QElapsedTimer>
#include <QHash>
#include <QRandomGenerator>
#include <QThread>

namespace {
constexpr int Rows = 20000;
constexpr int Kills = 4;

const QString ResultColumns = QStringLiteral("MPStatus, MPAddress, W2MP, W1MP, MPControlGeocode");

// The example records repeated to Rows, every result column holding a value no run writes.
void fillWithRepeatedRecords(const ExampleCopy &db)
{
    db.exec(QStringLiteral(
        "BEGIN;"
        "CREATE TEMP TABLE original AS SELECT * FROM kunden;"
        "DELETE FROM kunden;"
        "WITH RECURSIVE copy(n) AS (SELECT 0 UNION ALL SELECT n + 1 FROM copy WHERE n < 100)"
        " INSERT INTO kunden (Nr, KolmNummer, Name1, LandKennz, Plz, Ort, Strasse, Angelegt, MPControlGeocode,"
        "   MPStatus, MPAddress, W2MP, W1MP, Bemerkung)"
        " SELECT o.Nr + copy.n * 10000, o.KolmNummer || '-' || copy.n, o.Name1, o.LandKennz, o.Plz, o.Ort, o.Strasse,"
        "   o.Angelegt, 1, 'before', 'before', -1.0, -1.0, o.Bemerkung"
        " FROM copy CROSS JOIN original o ORDER BY copy.n, o.rowid LIMIT %1;"
        "COMMIT;").arg(Rows));
}

// Result columns per record, in the run's order.
QList<QStringList> results(const ExampleCopy &db)
{
    return db.rows(QStringLiteral("select KolmNummer, %1 from kunden order by rowid").arg(ResultColumns));
}
} // namespace

TEST(KillDuringBatch, EveryRecordIsCompleteOrUnchanged)
{
    ExampleCopy reference;
    fillWithRepeatedRecords(reference);
    const QList<QStringList> before = results(reference);
    ASSERT_EQ(before.size(), Rows);

    const QStringList arguments = QStringList{QStringLiteral("--table"), QStringLiteral("kunden")} + FullMapping();
    // Kill moments fall between the end of the start-up (one record) and the end of a full run.
    QElapsedTimer clock;
    clock.start();
    ASSERT_EQ(reference.run(FullMapping() + QStringList{QStringLiteral("--query"),
                                                        QStringLiteral("select * from kunden where 1 = 0")}).exitCode, 1);
    const qint64 startMs = clock.restart();
    const BatchOutcome full = reference.run(arguments);
    const qint64 runMs = clock.elapsed();
    ASSERT_EQ(full.exitCode, 0) << qPrintable(full.err);
    const QList<QStringList> after = results(reference);
    ASSERT_EQ(after.size(), Rows);

    QRandomGenerator random(20240611);
    for (int kill = 0; kill < Kills; ++kill) {
        ExampleCopy victim;
        fillWithRepeatedRecords(victim);
        QProcess process;
        victim.start(process, arguments);
        ASSERT_TRUE(process.waitForStarted());
        QThread::msleep(static_cast<unsigned long>(random.bounded(startMs, std::max(startMs + 1, runMs))));
        process.kill();
        process.waitForFinished();

        EXPECT_EQ(victim.scalar("pragma integrity_check"), QStringLiteral("ok")) << "after kill " << kill;
        const QList<QStringList> now = results(victim);
        ASSERT_EQ(now.size(), Rows);
        // The run posts in record order: what reached the disk is one unbroken stretch from the start.
        int complete = 0;
        bool inStretch = true;
        for (int i = 0; i < Rows; ++i) {
            const bool isNew = now[i] == after[i];
            const bool isOld = now[i] == before[i];
            ASSERT_TRUE(isNew || isOld) << "half-written record " << qPrintable(now[i].join(QLatin1Char('|')))
                                        << " after kill " << kill;
            if (isNew && !inStretch)
                FAIL() << "record " << i << " was posted after a record that was not, kill " << kill;
            inStretch = inStretch && isNew;
            complete += isNew ? 1 : 0;
        }
    }
}
