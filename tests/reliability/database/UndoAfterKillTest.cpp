// orvane-batch killed (SIGKILL) at random moments of a run: the run journal must cover every
// record the killed run saved, with the values the database holds, and an undo must then give
// back exactly the database from before the run.
#include "RepeatedRecords.h"

#include <RunJournal.h>

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QThread>

#include <csignal>

namespace {
constexpr int Rows = 40000;
constexpr int Kills = 5;

QString textOf(const QVariant &v)
{
    if (v.isNull())
        return QStringLiteral("<null>");
    if (v.typeId() == QMetaType::Double)
        return QString::number(v.toDouble(), 'g', 17);
    if (v.typeId() == QMetaType::Bool)
        return v.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    return QString::fromUtf8(v.toByteArray());
}
} // namespace

TEST(UndoAfterKill, TheJournalCoversEverySavedRecordAndTheUndoGivesBackTheDatabase)
{
    ExampleCopy db;
    FillWithRepeatedRecords(db, Rows);
    const QList<QStringList> before = db.dump();
    const QStringList arguments = QStringList{QStringLiteral("--table"), QStringLiteral("kunden")} + FullMapping();
    const QString folder = db.folder() + QStringLiteral("/data/Orvane/runs");
    const QString identity = QStringLiteral("sqlite:") + QFileInfo(db.path()).canonicalFilePath();

    QRandomGenerator random(20261210);
    int saved = 0, covered = 0, killed = 0;
    for (int kill = 0; kill < Kills; ++kill) {
        QProcess child;
        db.start(child, arguments);
        ASSERT_TRUE(child.waitForStarted());
        // Once the run has saved its first records, anywhere in the rest of it. The look waits
        // for the run's commits, which lock the file for a moment.
        sqlite3 *look = nullptr;
        sqlite3_open_v2(db.path().toUtf8().constData(), &look, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_busy_timeout(look, 5000);
        const auto savedSome = [look] {
            sqlite3_stmt *s = nullptr;
            sqlite3_prepare_v2(look, "select 1 from kunden where MPAddress is not 'before' limit 1", -1, &s, nullptr);
            const bool some = sqlite3_step(s) == SQLITE_ROW;
            sqlite3_finalize(s);
            return some;
        };
        while (child.state() == QProcess::Running && !savedSome())
            QThread::msleep(5);
        sqlite3_close(look);
        QThread::msleep(random.bounded(300));
        ::kill(pid_t(child.processId()), SIGKILL);
        child.waitForFinished();

        QHash<QString, QStringList> written;
        {
            RunJournal journal(folder, identity);
            const QList<RunJournal::Run> runs = journal.runs();
            ASSERT_FALSE(runs.isEmpty());
            killed += !runs.first().finished;
            for (const RunJournal::Post &post : journal.posts(runs.first().number)) {
                QStringList values;
                for (const QString &column : ResultColumns().split(QStringLiteral(", ")))
                    for (const auto &[name, value] : post.after)
                        if (name == column)
                            values << textOf(value);
                written.insert(QString::fromUtf8(post.key.value(0).second.toByteArray()), values);
            }
        }
        const QList<QStringList> rows = db.rows(QStringLiteral(
            "select KolmNummer, MPStatus, MPAddress, printf('%!.17g', W2MP), printf('%!.17g', W1MP), MPControlGeocode"
            " from kunden where MPAddress is not 'before'"));
        saved += int(rows.size());
        for (const QStringList &row : rows) {
            QStringList values = row.mid(1);
            for (int i : {2, 3})
                values[i] = QString::number(values[i].toDouble(), 'g', 17);
            if (written.value(row[0]) == values)
                ++covered;
            else
                ADD_FAILURE() << "record " << qPrintable(row[0]) << " saved as " << qPrintable(values.join('|'))
                              << ", journal: " << qPrintable(written.value(row[0]).join('|'));
        }

        const BatchOutcome undo = db.run({QStringLiteral("--undo")});
        ASSERT_EQ(undo.exitCode, 0) << qPrintable(undo.err);
        EXPECT_TRUE(undo.out.contains(QStringLiteral("Records restored: %1\n").arg(rows.size()))) << qPrintable(undo.out);
        EXPECT_EQ(db.dump(), before) << "kill " << kill;
    }
    EXPECT_GE(killed, Kills - 1) << "runs ended before their kill";
    std::printf("runs killed before their end %d of %d; records saved by them %d, covered by the journal %d\n",
                killed, Kills, saved, covered);
}
