#include "AccessProvider.h"
#include "AccessQuery.h"
#include "Connection.h"
#include "DataError.h"
#include "RecordSet.h"
#include "TestDatabase.h"

#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

QString testFile(const char *name)
{
    return QStringLiteral(ORVANE_TESTDATA_DIR "/") + QLatin1String(name);
}

QByteArray contents(const QString &path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

QString messageOf(const std::function<void()> &f)
{
    try {
        f();
    } catch (const DataError &e) {
        return e.message();
    }
    return QStringLiteral("<no error>");
}

// One real Access file opened through the program's connection text.
struct AccessFile : ::testing::Test
{
    Connection connection;
    RecordSet rs;

    void open(const char *name)
    {
        const QString path = testFile(name);
        if (!QFileInfo::exists(path))
            GTEST_SKIP() << "test data absent: " << path.toStdString();
        connection.setConnectionText(TestDatabase::fixedText() + QStringLiteral(";Data Source=") + path);
        connection.open();
        rs.setConnection(&connection);
    }
    void query(const QString &sql)
    {
        rs.close();
        rs.setCommandText(sql);
        rs.open();
    }
    QStringList namesOf(ColumnKind kind) const
    {
        QStringList names;
        for (const ColumnDef &d : rs.columnDefs())
            if (d.kind == kind)
                names << d.name;
        return names;
    }
    QStringList column(const QString &name)
    {
        QStringList values;
        for (rs.first(); !rs.eof(); rs.next())
            values << rs.fieldByName(name).asString();
        return values;
    }
};

} // namespace

TEST(AccessFormat, JetAndAceFilesAreRecognisedByTheirFirstBytes)
{
    const auto head = [](const char *signature, char version) {
        QByteArray h = QByteArray("\x00\x01\x00\x00", 4) + QByteArray(signature, 16) + version;
        return h + QByteArray(100 - h.size(), '\0');
    };
    EXPECT_TRUE(AccessProvider::recognizes(head("Standard Jet DB\0", 0)));   // Jet 3
    EXPECT_TRUE(AccessProvider::recognizes(head("Standard Jet DB\0", 1)));   // Jet 4
    EXPECT_TRUE(AccessProvider::recognizes(head("Standard ACE DB\0", 2)));
    EXPECT_FALSE(AccessProvider::recognizes(head("Standard XYZ DB\0", 1)));
    EXPECT_FALSE(AccessProvider::recognizes(QByteArray("SQLite format 3\0", 16) + QByteArray(84, '\0')));
}

TEST(AccessQueryText, AcceptsTheAccessSelectsAndNamesWhatIsSupported)
{
    AccessQuery q = AccessQuery::parse(QStringLiteral("select TOP 1 * from [Asset Items]"));
    EXPECT_EQ(q.table, "Asset Items");
    EXPECT_EQ(q.top, 1);
    EXPECT_TRUE(q.columns.isEmpty());
    q = AccessQuery::parse(QStringLiteral("SELECT [Asset Items].[Asset No], Make FROM [Asset Items] ORDER BY [Cost] DESC, Make;"));
    EXPECT_EQ(q.columns, (QStringList{"Asset No", "Make"}));
    ASSERT_EQ(q.orderBy.size(), 2);
    EXPECT_TRUE(q.orderBy[0].descending);
    EXPECT_FALSE(q.orderBy[1].descending);
    EXPECT_EQ(q.orderBy[1].column, "Make");
    // The program's own "select * from " + bare name: a name with a space does not parse.
    for (const char *bad : {"select * from Asset Items", "select * from T where a = 1", "update T set a = 1",
                            "select * from [T", "select count(*) from T"}) {
        const QString m = messageOf([&] { AccessQuery::parse(QString::fromLatin1(bad)); });
        EXPECT_TRUE(m.contains("orvane-convert")) << bad << ": " << m.toStdString();
    }
}

TEST_F(AccessFile, Jet4FileListsItsTableWithAccessKindsAndReadsEveryRow)
{
    open("DateTestDatabase.mdb");
    EXPECT_TRUE(connection.isReadOnly());
    EXPECT_EQ(dynamic_cast<AccessProvider &>(connection.provider()).formatName(), "Jet 4");
    EXPECT_EQ(connection.tableNames(), QStringList{"DateTest"});   // no MSys tables
    query("select TOP 1 * from DateTest");
    EXPECT_EQ(rs.recordCount(), 1);
    EXPECT_EQ(namesOf(ColumnKind::Text), QStringList{"ShortTextCol"});
    EXPECT_EQ(namesOf(ColumnKind::Other), (QStringList{"IDCol", "DateTimeCol", "DateCol", "TimeCol", "LongTextCol"}));
    query("select * from DateTest");
    EXPECT_EQ(column("IDCol"), (QStringList{"1", "2", "3", "4", "5", "6"}));
    EXPECT_EQ(column("ShortTextCol").first(), "Hello");
    EXPECT_EQ(column("LongTextCol").last(), "New line\r\nin field");
    EXPECT_EQ(column("DateTimeCol").first(), "2021-12-02 00:00:00");
}

TEST_F(AccessFile, AceFileReadsATableWithSpacesInItsNameInOrderAndByTop)
{
    open("ASampleDatabase.accdb");
    EXPECT_EQ(dynamic_cast<AccessProvider &>(connection.provider()).formatName(), "ACE");
    EXPECT_EQ(connection.tableNames(), QStringList{"Asset Items"});   // saved queries are not listed
    query("select * from [Asset Items]");
    EXPECT_EQ(rs.recordCount(), 65);
    EXPECT_EQ(namesOf(ColumnKind::Text), (QStringList{"Asset No", "Asset Category", "Make", "Model", "Description",
                                                      "Owner", "Serial No", "Tax Scale", "Supplier No"}));
    EXPECT_EQ(namesOf(ColumnKind::Other), (QStringList{"Acquired", "Cost", "Warranty", "Comments"}));
    EXPECT_EQ(rs.fieldByName("Asset No").asString(), "30050");
    EXPECT_EQ(rs.fieldByName("Make").asString(), "GEO Rocket");
    EXPECT_EQ(rs.fieldByName("Acquired").asString(), "1997-09-02 00:00:00");

    query("SELECT TOP 3 [Asset No], Cost FROM [Asset Items] ORDER BY Cost DESC");
    ASSERT_EQ(rs.recordCount(), 3);
    const QStringList costs = column("Cost");
    EXPECT_GE(costs[0].toDouble(), costs[1].toDouble());
    EXPECT_GE(costs[1].toDouble(), costs[2].toDouble());
    EXPECT_EQ(rs.columnDefs().size(), 2);

    rs.close();
    rs.setCommandText("select * from Asset Items");
    EXPECT_THROW(rs.open(), DataError);
    rs.setCommandText("select * from [No Such Table]");
    EXPECT_TRUE(messageOf([&] { rs.open(); }).contains("No Such Table"));
}

TEST_F(AccessFile, EveryWriteIsRefusedWithTheWayOutAndTheFileStaysByteForByte)
{
    const QString path = testFile("ASampleDatabase.accdb");
    if (!QFileInfo::exists(path))
        GTEST_SKIP() << "test data absent";
    const QByteArray before = contents(path);
    const QDateTime modified = QFileInfo(path).lastModified();
    open("ASampleDatabase.accdb");
    rs.addField(FieldKind::WideText, "Asset No", 30, "Id", 12);
    rs.addField(FieldKind::WideText, "Owner", 30, "Name", 12);
    query("select * from [Asset Items]");

    const QString m = messageOf([&] { rs.edit(); });
    EXPECT_TRUE(m.contains(QFileInfo(path).absoluteFilePath())) << m.toStdString();
    EXPECT_TRUE(m.contains("orvane-convert")) << m.toStdString();
    EXPECT_TRUE(m.contains("ASampleDatabase.sqlite")) << m.toStdString();
    EXPECT_EQ(rs.state(), RecordSet::State::Browse);
    EXPECT_EQ(messageOf([&] { rs.insert(); }), m);
    EXPECT_EQ(rs.recordCount(), 65);
    EXPECT_EQ(messageOf([&] { rs.remove(); }), m);
    EXPECT_EQ(messageOf([&] { connection.provider().update("Asset Items", {{"Owner", "x"}}, {{"Asset No", "30050"}}); }), m);
    EXPECT_THROW(rs.fieldByName("Owner").setAsString("x"), DataError);
    rs.close();
    connection.close();
    EXPECT_EQ(contents(path), before);
    EXPECT_EQ(QFileInfo(path).lastModified(), modified);
}
