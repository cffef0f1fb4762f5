// orvane-batch --runs and --undo: what a run overwrote comes back, records others changed since
// stay as they are, and an undo is a run of its own.
#include <BatchProcess.h>

namespace {
const QStringList WholeTable = QStringList{QStringLiteral("--table"), QStringLiteral("kunden")} + FullMapping();
const QStringList UndoLast = {QStringLiteral("--undo")};

int count(const QString &out, const QString &line)
{
    for (const QString &l : out.split('\n'))
        if (l.startsWith(line))
            return l.mid(line.size()).section(' ', 0, 0).toInt();
    return -1;
}
} // namespace

TEST(UndoCommand, UndoPutsBackEveryValueOfACompleteRunAndCanItselfBeUndone)
{
    ExampleCopy db;
    const QList<QStringList> before = db.dump();
    const int records = db.scalar("select count(*) from kunden").toInt();
    const BatchOutcome run = db.run(WholeTable);
    ASSERT_EQ(run.exitCode, 0) << qPrintable(run.err);
    const QList<QStringList> geocoded = db.dump();
    ASSERT_NE(geocoded, before);

    const BatchOutcome runs = db.run({"--runs"});
    EXPECT_EQ(runs.exitCode, 0) << qPrintable(runs.err);
    const QStringList lines = runs.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << qPrintable(runs.out);
    EXPECT_TRUE(lines[1].contains(QStringLiteral("%1  kunden (MPControlGeocode, MPStatus, MPAddress, W2MP, W1MP), Geocode all")
                                      .arg(records))) << qPrintable(runs.out);
    EXPECT_TRUE(lines[1].trimmed().startsWith("1  ")) << qPrintable(runs.out);

    const BatchOutcome undo = db.run(UndoLast);
    ASSERT_EQ(undo.exitCode, 0) << qPrintable(undo.err);
    EXPECT_TRUE(undo.out.startsWith("Undo of run 1 (Geocode all")) << qPrintable(undo.out);
    EXPECT_EQ(count(undo.out, "Records restored: "), records) << qPrintable(undo.out);
    EXPECT_EQ(count(undo.out, "Records left alone: "), 0) << qPrintable(undo.out);
    EXPECT_EQ(db.dump(), before);

    // The undo is run 2; undoing it writes the run's values again.
    const BatchOutcome redo = db.run({"--undo", "2"});
    ASSERT_EQ(redo.exitCode, 0) << qPrintable(redo.err);
    EXPECT_TRUE(redo.out.startsWith("Undo of run 2 (Undo of run 1")) << qPrintable(redo.out);
    EXPECT_EQ(db.dump(), geocoded);
    EXPECT_EQ(db.run({"--runs"}).out.split('\n', Qt::SkipEmptyParts).size(), 4);

    const BatchOutcome absent = db.run({"--undo", "9"});
    EXPECT_EQ(absent.exitCode, 1);
    EXPECT_TRUE(absent.err.contains("There is no run 9")) << qPrintable(absent.err);
    EXPECT_EQ(db.dump(), geocoded);
    EXPECT_EQ(db.run({"--undo", "--table", "kunden"}).exitCode, 2);
}

TEST(UndoCommand, RecordsChangedOrDeletedSinceTheRunAreLeftAloneAndCounted)
{
    ExampleCopy db;
    const int records = db.scalar("select count(*) from kunden").toInt();
    ASSERT_EQ(db.run(WholeTable).exitCode, 0);
    // Another program corrects two records and removes one; a third gets its old values back.
    db.exec("update kunden set MPStatus = 'checked by hand' where KolmNummer in ('K11001', 'K11002');"
            "update kunden set W2MP = W2MP + 0.000001 where KolmNummer = 'K11003';"
            "delete from kunden where KolmNummer = 'K11004';"
            "update kunden set MPStatus = NULL, MPAddress = NULL, W2MP = NULL, W1MP = NULL, MPControlGeocode = 0"
            " where KolmNummer = 'K11005';");
    const QStringList corrected = db.rows("select * from kunden where KolmNummer = 'K11003'").value(0);

    const BatchOutcome undo = db.run(UndoLast);
    ASSERT_EQ(undo.exitCode, 0) << qPrintable(undo.err);
    EXPECT_EQ(count(undo.out, "Records restored: "), records - 5) << qPrintable(undo.out);
    EXPECT_TRUE(undo.out.contains("Records left alone: 5 (3 changed since the run, 1 deleted since the run, "
                                  "1 held their earlier values already)")) << qPrintable(undo.out);
    EXPECT_EQ(db.scalar("select count(*) from kunden where MPStatus = 'checked by hand'").toInt(), 2);
    EXPECT_EQ(db.rows("select * from kunden where KolmNummer = 'K11003'").value(0), corrected);
    EXPECT_EQ(db.scalar("select count(*) from kunden where MPStatus is not null").toInt(), 3);
}

TEST(UndoCommand, UndoOfARunOnASelectionTouchesOnlyItsRecordsAndANamedRunCanBeUndoneLater)
{
    ExampleCopy db;
    const QList<QStringList> before = db.dump();
    const auto select = [](const char *where) {
        return FullMapping() + QStringList{"--query", QStringLiteral("select * from kunden where %1").arg(where)};
    };
    ASSERT_EQ(db.run(select("LandKennz = 'D'")).exitCode, 0);
    const QList<QStringList> germanOnly = db.dump();
    ASSERT_EQ(db.run(select("LandKennz <> 'D'")).exitCode, 0);
    const int german = db.scalar("select count(*) from kunden where LandKennz = 'D'").toInt();

    // Run 1, the German records, while run 2 stays in place.
    const BatchOutcome undo = db.run({"--undo", "1"});
    ASSERT_EQ(undo.exitCode, 0) << qPrintable(undo.err);
    EXPECT_EQ(count(undo.out, "Records restored: "), german) << qPrintable(undo.out);
    EXPECT_EQ(db.scalar("select count(*) from kunden where LandKennz = 'D' and MPStatus is not null").toInt(), 0);
    EXPECT_EQ(db.scalar("select count(*) from kunden where LandKennz <> 'D' and W2MP is null").toInt(), 0);
    ASSERT_EQ(db.run({"--undo", "2"}).exitCode, 0);
    EXPECT_EQ(db.dump(), before);
    EXPECT_NE(germanOnly, before);
}
