#include "BatchScope.h"
#include "Connection.h"
#include "DataError.h"
#include "RecordSet.h"
#include <TestDatabase.h>
#include <TestServer.h>

#include <QSignalSpy>
#include <QThread>
#include <gtest/gtest.h>

namespace {

const char *kunden = R"(
CREATE TABLE kunden (KolmNummer VARCHAR(30) PRIMARY KEY, Name1 TEXT, LandKennz NVARCHAR(5), Plz TEXT,
  Ort TEXT, Strasse TEXT, MPControlGeocode BOOLEAN, MPStatus TEXT, MPAddress TEXT, W2MP DOUBLE, W1MP DOUBLE,
  Nummer INTEGER, Angelegt DATE, Notiz MEMO, Kurz CHAR(2));
INSERT INTO kunden VALUES ('K3', 'Cäsar', 'D', '80331', 'München', 'Marienplatz 1', 1, 'City', 'München', 48.137, 11.575, 3, '2020-01-01', 'x', 'ab');
INSERT INTO kunden VALUES ('K1', 'Anton', 'A', NULL, 'Wien', 'Ring 2', 0, NULL, NULL, NULL, NULL, 1, NULL, NULL, NULL);
INSERT INTO kunden VALUES ('K2', 'berta', 'CH', '1201', 'Genève', 'Rue 3', NULL, '', '', -0.5, 0.5, 2, NULL, NULL, NULL);
CREATE TABLE ohneschluessel (Name TEXT, Ort TEXT, Breite REAL);
INSERT INTO ohneschluessel VALUES ('a', 'Berg', 1.0), ('a', 'Berg', 1.0), ('b', 'Neustadt', 2.0);
)";

// Another record set over 'sql' on 'connection' that reads each posted row back.
void openResyncing(RecordSet &rs, Connection &connection, const QString &sql)
{
    rs.setConnection(&connection);
    rs.setCommandText(sql);
    rs.open();
    rs.setProviderOption("Update Resync", 15);
}

// Steps on the fixture's record set 'rs', shared by the fixtures below; holds nothing itself.
template<typename F> struct RecordSetSteps
{
    // The eleven slots of the customer record set.
    void addSlots()
    {
        RecordSet &rs = static_cast<F *>(this)->rs;
        rs.addField(FieldKind::WideText, "KolmNummer", 30, "Id", 12);
        rs.addField(FieldKind::WideText, "Name1", 32, "Name", 20);
        rs.addField(FieldKind::WideText, "LandKennz", 5, "Counry", 5);
        rs.addField(FieldKind::WideText, "Plz", 10, "Postcode", 6);
        rs.addField(FieldKind::WideText, "Ort", 30, "City", 20);
        rs.addField(FieldKind::WideText, "Strasse", 80, "Street", 30);
        rs.addField(FieldKind::Boolean, "MPControlGeocode", 0, "Need control", 3, "Yes;");
        rs.addField(FieldKind::WideText, "MPStatus", 50, "Geocode Status", 10);
        rs.addField(FieldKind::WideText, "MPAddress", 50, "Geocoded on", 40);
        rs.addField(FieldKind::Float, "W2MP", 0, "Latitude", 10, "#.00000");
        rs.addField(FieldKind::Float, "W1MP", 0, "Longitude", 10, "#.00000");
    }

    void openOn(const QString &sql)
    {
        RecordSet &rs = static_cast<F *>(this)->rs;
        rs.setCommandText(sql);
        rs.open();
    }

    QString id() { return static_cast<F *>(this)->rs.fieldByName("KolmNummer").asString(); }
};

struct Fixture : ::testing::Test, RecordSetSteps<Fixture>
{
    TestDatabase db{kunden};
    Connection connection;
    RecordSet rs;

    Fixture()
    {
        connection.setConnectionText(db.connectionText());
        connection.open();
        rs.setConnection(&connection);
    }
};

// The same customer table on every database kind the program opens (no SQLite-only types).
const char *portableKunden = R"(
CREATE TABLE kunden (KolmNummer VARCHAR(30) PRIMARY KEY, Name1 TEXT, LandKennz VARCHAR(5), Plz TEXT,
  Ort TEXT, Strasse TEXT, MPControlGeocode BOOLEAN, MPStatus TEXT, MPAddress TEXT, W2MP DOUBLE PRECISION,
  W1MP DOUBLE PRECISION, Nummer INTEGER, Angelegt DATE);
INSERT INTO kunden VALUES ('K3', 'Cäsar', 'D', '80331', 'München', 'Marienplatz 1', TRUE, 'City', 'München', 48.137, 11.575, 3, '2020-01-01');
INSERT INTO kunden VALUES ('K1', 'Anton', 'A', NULL, 'Wien', 'Ring 2', FALSE, NULL, NULL, NULL, NULL, 1, NULL);
INSERT INTO kunden VALUES ('K2', 'berta', 'CH', '1201', 'Genève', 'Rue 3', NULL, '', '', -0.5, 0.5, 2, NULL);
CREATE TABLE ohneschluessel (Name TEXT, Ort TEXT, Breite REAL);
INSERT INTO ohneschluessel VALUES ('a', 'Berg', 1.0), ('a', 'Berg', 1.0), ('b', 'Neustadt', 2.0);
)";

struct AnyDatabase : ::testing::TestWithParam<const char *>, RecordSetSteps<AnyDatabase>
{
    std::unique_ptr<TestServer> db;
    Connection connection;
    RecordSet rs;

    void SetUp() override
    {
        QString why;
        db = TestServer::create(QString::fromLatin1(GetParam()), portableKunden, &why);
        if (!db)
            GTEST_SKIP() << why.toStdString();
        connection.setConnectionText(db->connectionText());
        connection.open();
        rs.setConnection(&connection);
    }
};

QString messageOf(const std::function<void()> &f)
{
    try {
        f();
    } catch (const DataError &e) {
        return e.message();
    }
    return QStringLiteral("<no error>");
}

} // namespace

TEST_P(AnyDatabase, SlotsBindByNameAndReadTypedValuesWithNullsAsEmpty)
{
    addSlots();
    openOn("select * from kunden order by KolmNummer");
    EXPECT_EQ(rs.recordCount(), 3);
    EXPECT_EQ(rs.fields().size(), 11);
    EXPECT_EQ(id(), "K1");
    EXPECT_EQ(rs.fieldByName("Plz").asString(), "");
    EXPECT_TRUE(rs.fieldByName("Plz").isNull());
    EXPECT_EQ(rs.fieldByName("W2MP").asFloat(), 0.0);
    EXPECT_FALSE(rs.fieldByName("MPControlGeocode").asBoolean());
    rs.last();
    EXPECT_EQ(rs.fieldByName("Ort").asString(), "München");
    EXPECT_DOUBLE_EQ(rs.fieldByName("W2MP").asFloat(), 48.137);
    EXPECT_EQ(rs.fieldByName("W2MP").displayText(), "48.13700");
    EXPECT_EQ(rs.fieldByName("MPControlGeocode").displayText(), "Yes");
    EXPECT_THROW(rs.fieldByName("Nummer"), DataError);   // not a slot
}

TEST_F(Fixture, ColumnDefsGiveEveryColumnWithItsKind)
{
    openOn("select TOP 1 * from kunden");
    const QList<ColumnDef> defs = rs.columnDefs();
    ASSERT_EQ(defs.size(), 15);
    QStringList text, yesNo, floats, other;
    for (const ColumnDef &d : defs)
        (d.kind == ColumnKind::Text ? text : d.kind == ColumnKind::YesNo ? yesNo : d.kind == ColumnKind::Float ? floats : other) << d.name;
    EXPECT_EQ(text, (QStringList{"KolmNummer", "Name1", "LandKennz", "Plz", "Ort", "Strasse", "MPStatus", "MPAddress"}));
    EXPECT_EQ(yesNo, QStringList{"MPControlGeocode"});
    EXPECT_EQ(floats, (QStringList{"W2MP", "W1MP"}));
    EXPECT_EQ(other, (QStringList{"Nummer", "Angelegt", "Notiz", "Kurz"}));
    EXPECT_EQ(rs.recordCount(), 1);
}

TEST_P(AnyDatabase, TopNLimitsRowsAndKeepsOrder)
{
    openOn("SELECT TOP 2 KolmNummer FROM kunden ORDER BY KolmNummer DESC;");
    ASSERT_EQ(rs.recordCount(), 2);
    EXPECT_EQ(id(), "K3");
    openOn("select top 1\n * from kunden -- trailing comment");
    EXPECT_EQ(rs.recordCount(), 2);   // still open: open() on an open set does nothing
    rs.close();
    openOn("select top 1\n * from kunden -- trailing comment");
    EXPECT_EQ(rs.recordCount(), 1);
}

TEST_P(AnyDatabase, OpenFailsNamingTheColumnThatDoesNotFitItsSlot)
{
    rs.addField(FieldKind::WideText, "KolmNummer", 30, "Id", 12);
    Field &lat = rs.addField(FieldKind::Float, "Nummer", 0, "Latitude", 10, "#.00000");
    QString m = messageOf([&] { openOn("select * from kunden"); });
    EXPECT_TRUE(m.contains("Nummer")) << m.toStdString();
    EXPECT_FALSE(rs.isActive());
    EXPECT_THROW(rs.recordCount(), DataError);
    lat.setFieldName("Ort");
    m = messageOf([&] { rs.open(); });
    EXPECT_TRUE(m.contains("Ort")) << m.toStdString();
    lat.setFieldName("Fehlt");
    m = messageOf([&] { rs.open(); });
    EXPECT_TRUE(m.contains("Fehlt")) << m.toStdString();
    lat.setFieldName("W2MP");
    rs.open();
    EXPECT_TRUE(rs.isActive());
    m = messageOf([&] { rs.close(); openOn("select * from kunden where"); });
    EXPECT_FALSE(rs.isActive());
}

TEST_P(AnyDatabase, NavigationSetsEofAndBofAndStaysOnTheLastRecord)
{
    openOn("select KolmNummer from kunden order by KolmNummer");
    EXPECT_TRUE(rs.bof());
    EXPECT_FALSE(rs.eof());
    QStringList seen;
    for (rs.first(); !rs.eof(); rs.next())
        seen << id();
    EXPECT_EQ(seen, (QStringList{"K1", "K2", "K3"}));
    EXPECT_EQ(id(), "K3");
    EXPECT_EQ(rs.recNo(), 2);
    rs.prior();
    EXPECT_FALSE(rs.eof());
    rs.moveBy(-5);
    EXPECT_TRUE(rs.bof());
    EXPECT_EQ(id(), "K1");
    rs.setRecNo(1);
    EXPECT_EQ(id(), "K2");
    EXPECT_THROW(rs.setRecNo(3), DataError);
    openOn("select KolmNummer from kunden where 1 = 0");
    rs.close();
    openOn("select KolmNummer from kunden where 1 = 0");
    EXPECT_TRUE(rs.eof() && rs.bof());
    EXPECT_EQ(rs.recNo(), -1);
    EXPECT_EQ(id(), "");
    EXPECT_THROW(rs.edit(), DataError);
}

TEST_P(AnyDatabase, ClosedRecordSetReadsEmptyAndRefusesWrites)
{
    addSlots();
    EXPECT_EQ(rs.fieldByName("Ort").asString(), "");
    EXPECT_THROW(rs.recordCount(), DataError);
    EXPECT_THROW(rs.edit(), DataError);
    EXPECT_THROW(rs.fieldByName("Ort").setAsString("x"), DataError);
    EXPECT_THROW(rs.setSort("[Ort]"), DataError);
}

TEST_P(AnyDatabase, PostWritesOnlyTheChangedColumnsOfOneRow)
{
    addSlots();
    openOn("select * from kunden order by KolmNummer");
    rs.setProviderOption("Update Criteria", 0);
    rs.setProviderOption("Update Resync", 15);
    rs.setRecNo(1);   // K2
    // Another program changes a column we do not touch; our post must keep its value.
    db->exec("UPDATE kunden SET Ort = 'Geneva' WHERE KolmNummer = 'K2'");
    rs.edit();
    rs.fieldByName("W2MP").setAsFloat(46.2);
    rs.fieldByName("MPStatus").setAsString("Street");
    rs.fieldByName("MPControlGeocode").setAsBoolean(true);
    EXPECT_EQ(rs.state(), RecordSet::State::Edit);
    rs.post();
    EXPECT_EQ(rs.state(), RecordSet::State::Browse);
    EXPECT_EQ(db->value("select W2MP from kunden where KolmNummer='K2'").toDouble(), 46.2);
    EXPECT_EQ(db->value("select MPStatus from kunden where KolmNummer='K2'").toString(), "Street");
    EXPECT_EQ(db->value("select MPControlGeocode from kunden where KolmNummer='K2'").toLongLong(), 1);
    EXPECT_EQ(db->value("select Ort from kunden where KolmNummer='K2'").toString(), "Geneva");
    EXPECT_EQ(rs.fieldByName("Ort").asString(), "Geneva");   // re-read after the post
    EXPECT_EQ(db->value("select count(*) from kunden where MPStatus='Street'").toLongLong(), 1);
    EXPECT_EQ(db->value("select W2MP from kunden where KolmNummer='K3'").toDouble(), 48.137);
}

TEST_P(AnyDatabase, PostWithoutResyncKeepsTheFetchedValues)
{
    addSlots();
    openOn("select * from kunden order by KolmNummer");
    rs.setProviderOption("Update Resync", 0);
    db->exec("UPDATE kunden SET Ort = 'Vienna' WHERE KolmNummer = 'K1'");
    rs.edit();
    rs.fieldByName("Plz").setAsString("1010");
    rs.post();
    EXPECT_EQ(rs.fieldByName("Ort").asString(), "Wien");
    EXPECT_EQ(db->value("select Plz || Ort from kunden where KolmNummer='K1'").toString(), "1010Vienna");
}

TEST_P(AnyDatabase, PostOnAVanishedRowRaisesAndChangesNothing)
{
    addSlots();
    openOn("select * from kunden order by KolmNummer");
    rs.setProviderOption("Update Criteria", 0);
    db->exec("DELETE FROM kunden WHERE KolmNummer = 'K1'");
    rs.edit();
    rs.fieldByName("MPStatus").setAsString("City");
    const QString m = messageOf([&] { rs.post(); });
    EXPECT_TRUE(m.contains("row cannot be located for updating")) << m.toStdString();
    EXPECT_EQ(rs.state(), RecordSet::State::Edit);
    EXPECT_EQ(db->value("select count(*) from kunden where MPStatus='City'").toLongLong(), 1);
    rs.cancel();
    EXPECT_EQ(rs.fieldByName("MPStatus").asString(), "");
}

TEST_P(AnyDatabase, ChangedColumnCriteriaDetectsAConcurrentChange)
{
    addSlots();
    openOn("select * from kunden order by KolmNummer");
    rs.setProviderOption("Update Criteria", 2);
    db->exec("UPDATE kunden SET Ort = 'Vienna' WHERE KolmNummer = 'K1'");
    rs.edit();
    rs.fieldByName("Ort").setAsString("Wien 1");
    EXPECT_TRUE(messageOf([&] { rs.post(); }).contains("row cannot be located for updating"));
    EXPECT_EQ(db->value("select Ort from kunden where KolmNummer='K1'").toString(), "Vienna");
    EXPECT_THROW(rs.setProviderOption("Update Criteria", 3), DataError);
    EXPECT_THROW(rs.setProviderOption("Lock Type", 1), DataError);
}

TEST_P(AnyDatabase, SortTogglesKeepsTheCurrentRecordAndRejectsBadText)
{
    addSlots();
    openOn("select * from kunden");
    rs.setRecNo(2);   // K2 in table order K3, K1, K2
    ASSERT_EQ(id(), "K2");
    rs.setSort("[Name1]");
    EXPECT_EQ(rs.sort(), "[Name1]");
    EXPECT_EQ(id(), "K2");
    EXPECT_EQ(rs.recNo(), 1);   // Anton, berta, Cäsar: case does not order
    rs.setSort("[Name1] DESC");
    EXPECT_EQ(rs.recNo(), 1);
    rs.first();
    EXPECT_EQ(id(), "K3");
    rs.setSort("[W2MP]");
    QStringList order;
    for (rs.first(); !rs.eof(); rs.next())
        order << id();
    EXPECT_EQ(order, (QStringList{"K1", "K2", "K3"}));   // null first
    rs.setSort("[W2MP] DESC");
    rs.first();
    EXPECT_EQ(id(), "K3");
    for (const char *bad : {"[Name1", "[Name1] DOWN", "[Fehlt]", "[Name1], [Ort]"}) {
        EXPECT_THROW(rs.setSort(bad), DataError) << bad;
        EXPECT_EQ(rs.sort(), "[W2MP] DESC");
        EXPECT_EQ(id(), "K3");
    }
    rs.setSort("");
    EXPECT_EQ(rs.recNo(), 0);
    EXPECT_EQ(id(), "K3");
}

TEST_P(AnyDatabase, PostAfterSortWritesTheRecordShown)
{
    addSlots();
    openOn("select * from kunden");
    rs.setSort("[KolmNummer] DESC");
    rs.last();
    ASSERT_EQ(id(), "K1");
    rs.edit();
    rs.fieldByName("MPAddress").setAsString("Wien, Ring");
    rs.post();
    EXPECT_EQ(db->value("select KolmNummer from kunden where MPAddress='Wien, Ring'").toString(), "K1");
    EXPECT_EQ(db->value("select count(*) from kunden where MPAddress='Wien, Ring'").toLongLong(), 1);
}

TEST_P(AnyDatabase, MovingWhileEditingPostsAndFieldWritesNeedEditMode)
{
    addSlots();
    openOn("select * from kunden order by KolmNummer");
    EXPECT_THROW(rs.fieldByName("Ort").setAsString("x"), DataError);
    rs.edit();
    rs.fieldByName("Ort").setAsString("Wien-Mitte");
    rs.next();
    EXPECT_EQ(rs.state(), RecordSet::State::Browse);
    EXPECT_EQ(db->value("select Ort from kunden where KolmNummer='K1'").toString(), "Wien-Mitte");
    rs.edit();
    EXPECT_THROW(rs.fieldByName("W2MP").setAsString("4,5"), DataError);
    rs.fieldByName("W2MP").setAsString("4.5");
    EXPECT_EQ(rs.fieldByName("W2MP").asFloat(), 4.5);
    rs.cancel();
    EXPECT_EQ(rs.fieldByName("W2MP").asFloat(), -0.5);
}

TEST_F(Fixture, RowidTablesUpdateInsertAndDeleteOneRow)
{
    rs.addField(FieldKind::WideText, "Name", 30, "Name", 10);
    rs.addField(FieldKind::Float, "Breite", 0, "Latitude", 10, "#.00000");
    openOn("select * from ohneschluessel");
    EXPECT_EQ(rs.columnDefs().size(), 3);   // the provider's rowid is not a query column
    rs.setRecNo(1);   // the second of two equal rows
    rs.edit();
    rs.fieldByName("Breite").setAsFloat(9.0);
    rs.post();
    EXPECT_EQ(db.value("select group_concat(Breite) from (select Breite from ohneschluessel order by rowid)").toString(), "1.0,9.0,2.0");

    rs.insert();
    EXPECT_EQ(rs.recordCount(), 4);
    rs.fieldByName("Name").setAsString("c");
    rs.post();
    EXPECT_EQ(db.value("select count(*) from ohneschluessel where Name='c'").toLongLong(), 1);
    rs.edit();
    rs.fieldByName("Breite").setAsFloat(3.5);
    rs.post();
    EXPECT_EQ(db.value("select Breite from ohneschluessel where Name='c'").toDouble(), 3.5);
    rs.remove();
    EXPECT_EQ(rs.recordCount(), 3);
    EXPECT_EQ(db.value("select count(*) from ohneschluessel").toLongLong(), 3);
    rs.setRecNo(0);
    rs.remove();
    EXPECT_EQ(db.value("select count(*) from ohneschluessel where Breite=1.0").toLongLong(), 0);
}

TEST_F(Fixture, InsertReadsBackDefaultsAndCancelLeavesNoRow)
{
    db.exec("CREATE TABLE auto (id INTEGER PRIMARY KEY, Name TEXT, Status TEXT DEFAULT 'neu')");
    openOn("select * from auto");
    rs.insert();
    rs.cancel();
    EXPECT_EQ(rs.recordCount(), 0);
    rs.insert();
    rs.fieldByName("Name").setAsString("x");
    rs.post();
    EXPECT_EQ(rs.fieldByName("Status").asString(), "neu");
    EXPECT_EQ(rs.fieldByName("id").asString(), db.value("select id from auto").toString());
}

TEST_F(Fixture, PostReadsBackWhatTheUpdateAndItsTriggersWrote)
{
    db.exec("CREATE TABLE geaendert (id INTEGER PRIMARY KEY, Name TEXT, Grossname TEXT, Zaehler INTEGER DEFAULT 0)");
    db.exec("INSERT INTO geaendert (id, Name) VALUES (1, 'a'), (2, 'b')");
    openOn("select * from geaendert order by id");
    rs.setProviderOption("Update Resync", 15);
    rs.edit();
    rs.fieldByName("Name").setAsString("x");
    rs.post();
    EXPECT_EQ(rs.fieldByName("Name").asString(), "x");
    EXPECT_EQ(db.value("select Name from geaendert where id = 2").toString(), "b");

    // A trigger's changes appear in the record after the post, the row having been read again.
    db.exec("CREATE TRIGGER gross AFTER UPDATE OF Name ON geaendert BEGIN"
            " UPDATE geaendert SET Grossname = upper(new.Name), Zaehler = Zaehler + 1 WHERE id = new.id; END");
    Connection other;
    other.setConnectionText(db.connectionText());
    other.open();
    RecordSet again;
    openResyncing(again, other, "select * from geaendert order by id");
    again.next();
    again.edit();
    again.fieldByName("Name").setAsString("y");
    again.post();
    EXPECT_EQ(again.fieldByName("Grossname").asString(), "Y");
    EXPECT_EQ(again.fieldByName("Zaehler").asString(), "1");
}

// A post spares the re-read only where the row can hold nothing but what was written; each way
// the database may hold more or other must still show in the record.
TEST_F(Fixture, PostShowsWhatTheDatabaseMadeOfItEvenWhenNothingSeemsToHaveChanged)
{
    addSlots();
    openOn("select * from kunden order by KolmNummer");
    rs.setProviderOption("Update Resync", 15);
    RecordSet second;   // the same rows, read on the same connection
    openResyncing(second, connection, "select * from kunden order by KolmNummer");

    rs.edit();   // K1
    rs.fieldByName("Ort").setAsString("Vienna");
    rs.post();
    EXPECT_EQ(rs.fieldByName("Ort").asString(), "Vienna");

    // Stored other than written: a text column by its declared type that SQLite gives numeric
    // affinity turns "007" into 7.
    db.exec("CREATE TABLE codes (id TEXT PRIMARY KEY, code STRING); INSERT INTO codes VALUES ('a', 'x')");
    RecordSet codes;
    openResyncing(codes, connection, "select * from codes");
    codes.edit();
    codes.fieldByName("code").setAsString("007");
    codes.post();
    EXPECT_EQ(codes.fieldByName("code").asString(), "7");

    // Written through another record set of this connection since these rows were read.
    second.edit();   // K1
    second.fieldByName("Plz").setAsString("1010");
    second.post();
    EXPECT_EQ(second.fieldByName("Ort").asString(), "Vienna");

    // Committed by another program between two posts.
    openOn("select * from kunden order by KolmNummer");
    rs.edit();
    rs.fieldByName("MPStatus").setAsString("City");
    rs.post();
    db.exec("UPDATE kunden SET Strasse = 'Ring 9' WHERE KolmNummer = 'K1'");
    rs.edit();
    rs.fieldByName("MPStatus").setAsString("Street");
    rs.post();
    EXPECT_EQ(rs.fieldByName("Strasse").asString(), "Ring 9");

    // A trigger this connection created after the table was found plain.
    rs.close();
    openOn("select * from kunden order by KolmNummer");
    rs.edit();
    rs.fieldByName("MPStatus").setAsString("City");
    rs.post();
    connection.provider().query("CREATE TEMP TRIGGER adresse AFTER UPDATE OF MPStatus ON kunden BEGIN"
                                " UPDATE kunden SET MPAddress = 'per trigger' WHERE KolmNummer = new.KolmNummer; END")
        ->next();
    rs.edit();
    rs.fieldByName("MPStatus").setAsString("Street");
    rs.post();
    EXPECT_EQ(rs.fieldByName("MPAddress").asString(), "per trigger");
}

TEST_P(AnyDatabase, QueriesWithoutAKeyRefuseToPost)
{
    openOn("select distinct Name from ohneschluessel");
    rs.edit();
    rs.fieldByName("Name").setAsString("z");
    EXPECT_TRUE(messageOf([&] { rs.post(); }).contains("ohneschluessel"));
    EXPECT_EQ(db->value("select count(*) from ohneschluessel where Name='z'").toLongLong(), 0);
}

TEST_P(AnyDatabase, DisabledControlsAreToldOnceOnResume)
{
    addSlots();
    openOn("select * from kunden");
    QSignalSpy reset(&rs, &RecordSet::dataSetChanged), moved(&rs, &RecordSet::currentChanged),
        changed(&rs, &RecordSet::recordChanged), state(&rs, &RecordSet::stateChanged);
    rs.disableControls();
    rs.disableControls();
    for (rs.first(); !rs.eof(); rs.next()) {
        rs.edit();
        rs.fieldByName("MPStatus").setAsString("Postcode");
        rs.post();
    }
    rs.setSort("[Ort]");
    rs.enableControls();
    EXPECT_TRUE(rs.controlsDisabled());
    EXPECT_EQ(reset.count() + moved.count() + changed.count() + state.count(), 0);
    rs.enableControls();
    EXPECT_FALSE(rs.controlsDisabled());
    EXPECT_EQ(reset.count(), 1);
    EXPECT_EQ(moved.count() + changed.count() + state.count(), 0);
    rs.last();
    EXPECT_EQ(moved.count(), 1);
    rs.edit();
    rs.fieldByName("MPStatus").setAsString("City");
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(state.count(), 1);
}

TEST_P(AnyDatabase, EachPostOutsideABatchIsCommittedAtOnce)
{
    addSlots();
    openOn("select * from kunden order by KolmNummer");
    rs.edit();
    rs.fieldByName("MPStatus").setAsString("GPS");
    rs.post();
    // A second connection sees it although ours stays open.
    EXPECT_EQ(db->value("select count(*) from kunden where MPStatus='GPS'").toLongLong(), 1);
}

TEST_P(AnyDatabase, BatchScopeEndedByAnErrorKeepsItsPosts)
{
    addSlots();
    openOn("select * from kunden order by KolmNummer");
    try {
        BatchScope batch(connection);
        for (rs.first(); !rs.eof(); rs.next()) {
            rs.edit();
            rs.fieldByName("MPStatus").setAsString("Street");
            rs.post();
        }
        EXPECT_EQ(db->value("select count(*) from kunden where MPStatus='Street'").toLongLong(), 0);
        throw DataError("engine failed");
    } catch (const DataError &) {
    }
    EXPECT_EQ(db->value("select count(*) from kunden where MPStatus='Street'").toLongLong(), 3);
}

TEST_P(AnyDatabase, BatchScopeCommitsAfter200Milliseconds)
{
    addSlots();
    openOn("select * from kunden order by KolmNummer");
    BatchScope batch(connection);
    rs.edit();
    rs.fieldByName("MPStatus").setAsString("Graphic");
    rs.post();
    QThread::msleep(250);
    rs.next();
    rs.edit();
    rs.fieldByName("MPStatus").setAsString("Graphic");
    rs.post();
    EXPECT_EQ(db->value("select count(*) from kunden where MPStatus='Graphic'").toLongLong(), 2);
    rs.next();
    rs.edit();
    rs.fieldByName("MPStatus").setAsString("Graphic");
    rs.post();
    batch.commit();
    EXPECT_EQ(db->value("select count(*) from kunden where MPStatus='Graphic'").toLongLong(), 3);
}

INSTANTIATE_TEST_SUITE_P(Databases, AnyDatabase, ::testing::Values("SQLite", "PostgreSQL"),
                         [](const auto &info) { return std::string(info.param); });
