#include "BatchScope.h"
#include "Connection.h"
#include "DataError.h"
#include "PostgresProvider.h"
#include "RecordSet.h"
#include <TestServer.h>

#include <QFile>
#include <gtest/gtest.h>

namespace {

const char *schema = R"(
CREATE TABLE kunden (id INTEGER PRIMARY KEY, name VARCHAR(30), kurz CHAR(2), aktiv BOOLEAN, breite REAL,
  laenge DOUBLE PRECISION, status TEXT, anzahl INTEGER, seit DATE, betrag NUMERIC(10,2));
CREATE VIEW aktive AS SELECT * FROM kunden WHERE aktiv;
CREATE TABLE "Asset Items" (nr TEXT PRIMARY KEY);
)";

QString messageOf(const std::function<void()> &f)
{
    try {
        f();
    } catch (const DataError &e) {
        return e.message();
    }
    return QStringLiteral("<no error>");
}

struct Postgres : ::testing::Test
{
    std::unique_ptr<PostgresTestServer> db;
    Connection connection;

    void SetUp() override
    {
        QString why;
        db = PostgresTestServer::create(QStringLiteral("orvane_postgres"), &why);
        if (!db)
            GTEST_SKIP() << why.toStdString();
        db->exec(QString::fromUtf8(schema));
        db->exec(QStringLiteral("INSERT INTO kunden (id, name, status) SELECT g, 'K' || g, '' FROM generate_series(1, 200) g"));
        connection.setConnectionText(db->connectionText());
        connection.open();
    }
};

} // namespace

TEST_F(Postgres, DataLinkFileOpensTheServerAndListsTheCurrentSchema)
{
    EXPECT_FALSE(connection.isReadOnly());
    EXPECT_EQ(connection.tableNames(), (QStringList{"kunden", "aktive", "Asset Items"}));
    RecordSet rs;
    rs.setConnection(&connection);
    rs.setCommandText("select TOP 1 * from kunden");
    rs.open();
    EXPECT_EQ(rs.recordCount(), 1);
    QStringList kinds;
    for (const ColumnDef &d : rs.columnDefs())
        kinds << d.name + "=" + QString::number(int(d.kind));
    // text/varchar/char are text, boolean yes/no, real/double floating point, the rest other.
    EXPECT_EQ(kinds, (QStringList{"id=3", "name=0", "kurz=0", "aktiv=1", "breite=2", "laenge=2", "status=0",
                                  "anzahl=3", "seit=3", "betrag=3"}));
}

TEST_F(Postgres, EveryListedTableOpensUnderItsQuotedName)
{
    // A mixed-case name is exact only when quoted; a bare one is folded to lower case.
    db->exec(QStringLiteral("CREATE TABLE \"Orte\" (ort TEXT); CREATE TABLE \"select\" (x TEXT)"));
    for (const QString &table : connection.tableNames()) {
        RecordSet rs;
        rs.setConnection(&connection);
        rs.setCommandText(QStringLiteral("select TOP 1 * from ") + connection.provider().quotedName(table));
        EXPECT_NO_THROW(rs.open()) << qPrintable(table);
    }
    EXPECT_EQ(connection.provider().quotedName(QStringLiteral("kunden")), QStringLiteral("kunden"));
}

TEST_F(Postgres, WrongPasswordAndMissingServerNameTheDatabaseButNeverThePassword)
{
    QString text = db->dataLinkText();
    const QString password = text.section("Password=", 1).section(';', 0, 0);
    ASSERT_FALSE(password.isEmpty());
    QString wrong = text;
    wrong.replace("Password=" + password, "Password=" + password + "x");
    const QString m = messageOf([&] { PostgresProvider::connect(wrong, "kunden.udl"); });
    EXPECT_TRUE(m.contains("kunden.udl")) << m.toStdString();
    EXPECT_TRUE(m.contains("password authentication failed")) << m.toStdString();
    EXPECT_FALSE(m.contains(password)) << m.toStdString();

    QFile f(db->dataLinkFile());
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write("Provider=SQLOLEDB;Server=x;Password=" + password.toUtf8());
    f.close();
    Connection other;
    other.setConnectionText(db->connectionText());
    const QString p = messageOf([&] { other.open(); });
    EXPECT_TRUE(p.contains("SQLOLEDB")) << p.toStdString();
    EXPECT_FALSE(p.contains(password));

    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write("Provider=PostgreSQL;Password=" + password.toUtf8() + ";" + password.toUtf8().left(5) + "tail");
    f.close();
    const QString broken = messageOf([&] { other.open(); });
    EXPECT_TRUE(broken.contains(db->dataLinkFile())) << broken.toStdString();
    EXPECT_FALSE(broken.contains(password.left(5))) << broken.toStdString();
}

TEST_F(Postgres, ADataLinkFileWithAPasswordOthersCanReadIsRefusedAndSaysHowToFixIt)
{
    QFile f(db->dataLinkFile());
    for (const QFileDevice::Permissions others : {QFileDevice::ReadOther, QFileDevice::ReadGroup}) {
        ASSERT_TRUE(f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | others));
        Connection other;
        other.setConnectionText(db->connectionText());
        const QString m = messageOf([&] { other.open(); });
        EXPECT_TRUE(m.contains("holds a password and other users of this computer can read it")) << m.toStdString();
        EXPECT_TRUE(m.contains("chmod 600 '" + db->dataLinkFile() + "'")) << m.toStdString();
        EXPECT_FALSE(other.isConnected());
    }
    // Without a password (it comes from ~/.pgpass) the file is no secret.
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(db->dataLinkText().section(";Password=", 0, 0).toUtf8());
    f.close();
    const QString m = messageOf([&] {
        Connection other;
        other.setConnectionText(db->connectionText());
        other.open();
    });
    EXPECT_FALSE(m.contains("chmod")) << m.toStdString();
}

TEST_F(Postgres, TwoProgramsPostingDisjointSelectionsLoseNoUpdate)
{
    Connection second;
    second.setConnectionText(db->connectionText());
    second.open();
    RecordSet even, odd;
    even.setConnection(&connection);
    odd.setConnection(&second);
    even.setCommandText("select * from kunden where id % 2 = 0 order by id");
    odd.setCommandText("select * from kunden where id % 2 = 1 order by id");
    even.open();
    odd.open();
    for (RecordSet *rs : {&even, &odd}) {
        rs->setProviderOption("Update Criteria", 0);
        rs->setProviderOption("Update Resync", 15);
    }
    {
        BatchScope a(connection), b(second);
        for (even.first(), odd.first(); !even.eof() || !odd.eof(); even.next(), odd.next()) {
            for (RecordSet *rs : {&even, &odd}) {
                if (rs->eof())
                    continue;
                rs->edit();
                rs->fieldByName("status").setAsString(rs == &even ? "Street" : "City");
                rs->fieldByName("laenge").setAsFloat(rs->fieldByName("id").asString().toDouble() / 10);
                rs->fieldByName("aktiv").setAsBoolean(true);
                rs->post();
            }
        }
    }
    EXPECT_EQ(db->value("select count(*) from kunden where status = 'Street' and id % 2 = 0").toInt(), 100);
    EXPECT_EQ(db->value("select count(*) from kunden where status = 'City' and id % 2 = 1").toInt(), 100);
    EXPECT_EQ(db->value("select count(*) from kunden where aktiv and laenge = id / 10.0").toInt(), 200);
}

namespace {
// A record set over 'sql' with the program's options: rows located by key, read back after posts.
void openWithProgramOptions(RecordSet &rs, Connection &connection, const QString &sql)
{
    rs.setConnection(&connection);
    rs.setCommandText(sql);
    rs.open();
    rs.setProviderOption("Update Criteria", 0);
    rs.setProviderOption("Update Resync", 15);
}
} // namespace

// With the program's options the posts of a batch travel in the pipeline too: each record takes
// its row as read back once the results arrive, and a vanished row fails when they are collected.
TEST_F(Postgres, WithRereadBatchPostsTakeTheirRowsWhenCollected)
{
    RecordSet rs;
    openWithProgramOptions(rs, connection, "select * from kunden order by id");
    {
        BatchScope batch(connection);
        rs.edit();
        rs.fieldByName("status").setAsString("Postcode");
        rs.fieldByName("kurz").setAsString("D");   // CHAR(2): the grid shows what the column keeps
        rs.post();
        EXPECT_EQ(rs.fieldByName("kurz").asString(), "D");   // as posted until the results arrive
        batch.commit();
    }
    EXPECT_EQ(rs.fieldByName("kurz").asString(), "D ");
    EXPECT_EQ(db->value("select status from kunden where id = 1").toString(), "Postcode");

    // Rows closed before their results arrive are left alone.
    {
        BatchScope batch(connection);
        rs.next();
        rs.edit();
        rs.fieldByName("kurz").setAsString("E");
        rs.post();
        rs.close();
        batch.commit();
    }
    EXPECT_EQ(db->value("select kurz from kunden where id = 2").toString(), "E ");

    RecordSet again;
    openWithProgramOptions(again, connection, "select * from kunden where id <= 5 order by id");
    QString message;
    try {
        BatchScope batch(connection);
        for (again.first(); !again.eof(); again.next()) {
            if (again.fieldByName("id").asString() == "3")
                db->exec("DELETE FROM kunden WHERE id = 3");
            again.edit();
            again.fieldByName("status").setAsString("City");
            again.post();
        }
        batch.commit();
    } catch (const DataError &e) {
        message = e.message();
    }
    EXPECT_TRUE(message.contains("row cannot be located for updating")) << message.toStdString();
    EXPECT_TRUE(message.contains("id = '3'")) << message.toStdString();
    EXPECT_EQ(db->value("select count(*) from kunden where status = 'City'").toInt(), 2);
}

namespace {
// Posts every record of the open 'rs' in one batch, 'times' times in a row, 'change' setting the
// values from the record's id and the round; the first error, from a post or the closing commit.
QString postAllInABatch(Connection &connection, RecordSet &rs, const std::function<void(int, int)> &change, int times = 1)
{
    try {
        BatchScope batch(connection);
        for (rs.first(); !rs.eof(); rs.next()) {
            for (int round = 0; round < times; ++round) {
                rs.edit();
                change(rs.fieldByName("id").asString().toInt(), round);
                rs.post();
            }
        }
        batch.commit();
    } catch (const DataError &e) {
        return e.message();
    }
    return QStringLiteral("<no error>");
}

// Posts to ids 1..last in a batch without re-reading.
QString postFiveInABatch(Connection &connection, RecordSet &rs, const std::function<void(int)> &change, int last = 5)
{
    rs.setConnection(&connection);
    rs.setCommandText(QStringLiteral("select * from kunden where id <= %1 order by id").arg(last));
    rs.open();
    rs.setProviderOption("Update Criteria", 0);
    return postAllInABatch(connection, rs, [&](int id, int) { change(id); });
}
} // namespace

// Without re-reads the posts go out without waiting; a failure shows when their results are
// collected, naming the record, with the posts before it kept and those after it undone.
TEST_F(Postgres, PipelinedPostsReportAVanishedRowWhenCollectedAndKeepThePostsBeforeIt)
{
    RecordSet rs;
    bool deleted = false;
    const QString m = postFiveInABatch(connection, rs, [&](int) {
        if (!deleted)
            db->exec("DELETE FROM kunden WHERE id = 3");
        deleted = true;
        rs.fieldByName("status").setAsString("City");
    });
    EXPECT_TRUE(m.contains("row cannot be located for updating")) << m.toStdString();
    EXPECT_TRUE(m.contains("table \"kunden\", id = '3'")) << m.toStdString();
    EXPECT_EQ(db->value("select count(*) from kunden where status = 'City' and id in (1, 2)").toInt(), 2);
    EXPECT_EQ(db->value("select count(*) from kunden where status = 'City'").toInt(), 2);
    EXPECT_EQ(db->value("select count(*) from kunden where id = 3").toInt(), 0);
}

// More posts than one round trip carries: the groups collected before the failure stay too.
TEST_F(Postgres, PipelinedPostsKeepEveryEarlierGroupWhenALaterOneFails)
{
    db->exec(QStringLiteral("INSERT INTO kunden (id, name, status) SELECT g, 'K' || g, '' FROM generate_series(201, 900) g"));
    RecordSet rs;
    const QString m = postFiveInABatch(connection, rs, [&](int id) {
        if (id == 10)
            db->exec("DELETE FROM kunden WHERE id = 800");
        rs.fieldByName("status").setAsString("City");
    }, 900);
    EXPECT_TRUE(m.contains("id = '800'")) << m.toStdString();
    EXPECT_EQ(db->value("select count(*) from kunden where status = 'City'").toInt(), 799);
    EXPECT_EQ(db->value("select count(*) from kunden where status = 'City' and id > 800").toInt(), 0);
}

TEST_F(Postgres, PipelinedPostsReportARefusedValueWhenCollectedAndKeepThePostsBeforeIt)
{
    RecordSet rs;
    const QString m = postFiveInABatch(connection, rs, [&](int id) {
        rs.fieldByName("status").setAsString("Street");
        if (id == 4)
            rs.fieldByName("name").setAsString(QString(40, 'x'));
    });
    EXPECT_TRUE(m.contains("too long")) << m.toStdString();
    EXPECT_TRUE(m.contains("id = '4'")) << m.toStdString();
    EXPECT_EQ(db->value("select count(*) from kunden where status = 'Street'").toInt(), 3);
    EXPECT_EQ(db->value("select max(id) from kunden where status = 'Street'").toInt(), 3);
    // The connection goes on: the next batch posts as usual.
    RecordSet again;
    EXPECT_EQ(postFiveInABatch(connection, again, [&](int) { again.fieldByName("status").setAsString("Postcode"); }),
              "<no error>");
    EXPECT_EQ(db->value("select count(*) from kunden where status = 'Postcode'").toInt(), 5);
}

// A batch sends consecutive posts of one shape together; every record still takes its own row as
// read back, and a record posted twice in a row keeps its last value.
TEST_F(Postgres, BatchPostsSentTogetherReadBackEachRecordsOwnRow)
{
    RecordSet rs;
    openWithProgramOptions(rs, connection, "select * from kunden order by id");
    rs.edit();
    rs.fieldByName("kurz").setAsString("1");
    rs.post();
    EXPECT_EQ(postAllInABatch(connection, rs, [&](int id, int) { rs.fieldByName("kurz").setAsString(QString::number(id % 10)); }), "<no error>");
    QStringList wrong;
    for (rs.first(); !rs.eof(); rs.next()) {
        const int id = rs.fieldByName("id").asString().toInt();
        if (rs.fieldByName("kurz").asString() != QStringLiteral("%1 ").arg(id % 10))   // CHAR(2) as the server keeps it
            wrong << QString::number(id);
    }
    EXPECT_TRUE(wrong.isEmpty()) << wrong.join(' ').toStdString();
    EXPECT_EQ(db->value("select count(*) from kunden where kurz = (id % 10)::text").toInt(), 200);
    // Rows one statement updated share its command number: 200 posts went out in a few statements,
    // although the first post of that shape, outside the batch, went alone.
    EXPECT_LT(db->value("select count(distinct cmin::text) from kunden").toInt(), 20);

    EXPECT_EQ(postAllInABatch(connection, rs, [&](int id, int round) {
                  rs.fieldByName("status").setAsString(QStringLiteral("S%1").arg(id + round));
              }, 2), "<no error>");
    EXPECT_EQ(db->value("select count(*) from kunden where status = 'S' || (id + 1)").toInt(), 200);
    rs.first();
    EXPECT_EQ(rs.fieldByName("status").asString(), "S2");
}

// A value the server refuses inside posts sent together fails on its own record: the posts
// before it are kept, the ones after it undone.
TEST_F(Postgres, ARefusedValueAmongPostsSentTogetherNamesItsRecord)
{
    RecordSet rs;
    openWithProgramOptions(rs, connection, "select * from kunden order by id");
    const QString m = postAllInABatch(connection, rs, [&](int id, int) {
        rs.fieldByName("name").setAsString(id == 150 ? QString(40, 'x') : QStringLiteral("N%1").arg(id));
    });
    EXPECT_TRUE(m.contains("too long")) << m.toStdString();
    EXPECT_TRUE(m.contains("id = '150'")) << m.toStdString();
    EXPECT_EQ(db->value("select count(*) from kunden where name = 'N' || id").toInt(), 149);
    EXPECT_EQ(db->value("select max(id) from kunden where name = 'N' || id").toInt(), 149);
}

// Triggers see one statement per post, as without a batch.
TEST_F(Postgres, ATableWithTriggersGetsOneStatementPerPost)
{
    db->exec(R"(
CREATE TABLE statements (n INTEGER);
INSERT INTO statements VALUES (0);
CREATE FUNCTION count_statement() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN UPDATE statements SET n = n + 1; RETURN NULL; END $$;
CREATE TRIGGER counted AFTER UPDATE ON kunden FOR EACH STATEMENT EXECUTE FUNCTION count_statement();
)");
    RecordSet rs;
    openWithProgramOptions(rs, connection, "select * from kunden order by id");
    EXPECT_EQ(postAllInABatch(connection, rs, [&](int, int) { rs.fieldByName("status").setAsString("City"); }), "<no error>");
    EXPECT_EQ(db->value("select n from statements").toInt(), 200);
    EXPECT_EQ(db->value("select count(*) from kunden where status = 'City'").toInt(), 200);
}

TEST_F(Postgres, InsertReturnsTheKeyAndDeleteRemovesOneRow)
{
    RecordSet rs;
    rs.setConnection(&connection);
    rs.setCommandText("select * from \"Asset Items\"");
    rs.open();
    rs.insert();
    rs.fieldByName("nr").setAsString("30050");
    rs.post();
    EXPECT_EQ(db->value("select count(*) from \"Asset Items\"").toInt(), 1);
    rs.remove();
    EXPECT_EQ(db->value("select count(*) from \"Asset Items\"").toInt(), 0);
}
