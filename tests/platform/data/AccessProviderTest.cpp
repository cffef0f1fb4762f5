#include "AccessExpression.h"
#include "AccessProvider.h"
#include "AccessSavedQuery.h"
#include "AccessQuery.h"
#include "Connection.h"
#include "DataError.h"
#include "RecordSet.h"
#include <TestDatabase.h>

#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <mdbtools.h>

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
    EXPECT_EQ(dynamic_cast<AccessProvider &>(connection.provider()).userTables(), QStringList{"Asset Items"});
    query("select * from [Asset Items]");
    EXPECT_EQ(rs.recordCount(), 65);
    EXPECT_EQ(namesOf(ColumnKind::Text), (QStringList{"Asset No", "Asset Category", "Make", "Model", "Description",
                                                      "Owner", "Serial No", "Tax Scale", "Supplier No"}));
    EXPECT_EQ(namesOf(ColumnKind::Other), (QStringList{"Acquired", "Cost", "Warranty", "Comments"}));
    EXPECT_EQ(rs.fieldByName("Asset No").asString(), "30050");
    EXPECT_EQ(rs.fieldByName("Make").asString(), "GEO Rocket");
    EXPECT_EQ(rs.fieldByName("Acquired").asString(), "1997-09-02 00:00:00");

    query("SELECT TOP 3 [Asset No], Cost FROM [Asset Items] ORDER BY Cost DESC");
    // Two assets share the third-highest cost: Access's TOP keeps both.
    ASSERT_EQ(rs.recordCount(), 4);
    const QStringList costs = column("Cost");
    EXPECT_GE(costs[0].toDouble(), costs[1].toDouble());
    EXPECT_GE(costs[1].toDouble(), costs[2].toDouble());
    EXPECT_EQ(costs[2], costs[3]);
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

TEST_F(AccessFile, SavedSelectQueriesAreListedAsViewsAndRunOverTheirTable)
{
    open("ASampleDatabase.accdb");
    // Access's own form and report queries (~sq_...) stay hidden, as in Access.
    EXPECT_EQ(connection.tableNames(), (QStringList{"Asset Items", "qryComputerHardwareInOwnerOrder",
                                                    "qryCostsSummedByOwner", "qryGSTCalculations"}));

    // The expected rows, worked out from the table itself.
    query("select * from [Asset Items]");
    QList<QPair<QString, QString>> hardware;   // asset no, owner
    QMap<QString, double> costs;
    for (rs.first(); !rs.eof(); rs.next()) {
        costs.insert(rs.fieldByName("Asset No").asString(), rs.fieldByName("Cost").asString().toDouble());
        if (rs.fieldByName("Asset Category").asString().compare("Computer Hardware", Qt::CaseInsensitive) == 0)
            hardware.append({rs.fieldByName("Asset No").asString(), rs.fieldByName("Owner").asString()});
    }
    ASSERT_GT(hardware.size(), 1);
    ASSERT_LT(hardware.size(), 65);

    query("select * from qryComputerHardwareInOwnerOrder");
    EXPECT_EQ(namesOf(ColumnKind::Text), (QStringList{"Asset No", "Owner", "Asset Category", "Make", "Model"}));
    EXPECT_EQ(namesOf(ColumnKind::Other), QStringList{"Cost"});
    ASSERT_EQ(rs.recordCount(), hardware.size());
    QStringList owners, numbers;
    for (rs.first(); !rs.eof(); rs.next()) {
        owners << rs.fieldByName("Owner").asString();
        numbers << rs.fieldByName("Asset No").asString();
    }
    QStringList expectedOwners, expectedNumbers;
    for (const auto &[number, owner] : hardware) {
        expectedOwners << owner;
        expectedNumbers << number;
    }
    std::stable_sort(expectedOwners.begin(), expectedOwners.end(),
                     [](const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    EXPECT_EQ(owners, expectedOwners);
    numbers.sort();
    expectedNumbers.sort();
    EXPECT_EQ(numbers, expectedNumbers);

    // Computed columns named by the query, of floating-point kind, with Access's arithmetic.
    query("select * from [qryGSTCalculations]");
    EXPECT_EQ(namesOf(ColumnKind::Float), (QStringList{"Ex Tax", "GST"}));
    EXPECT_EQ(rs.recordCount(), 65);
    for (rs.first(); !rs.eof(); rs.next()) {
        const double cost = costs.value(rs.fieldByName("Asset No").asString());
        EXPECT_DOUBLE_EQ(rs.fieldByName("Ex Tax").asFloat(), cost / 1.22);
        EXPECT_DOUBLE_EQ(rs.fieldByName("GST").asFloat(), cost - cost / 1.22);
    }
    // The probe the mapping dialog runs, and a column list with an order over a view.
    query("select TOP 1 * from qryGSTCalculations");
    EXPECT_EQ(rs.recordCount(), 1);
    EXPECT_EQ(rs.columnDefs().size(), 7);
    query("SELECT TOP 2 [Asset No], [Ex Tax] FROM qryGSTCalculations ORDER BY [Ex Tax] DESC");
    ASSERT_GE(rs.recordCount(), 2);
    rs.first();
    const double highest = rs.fieldByName("Ex Tax").asFloat();
    EXPECT_DOUBLE_EQ(highest, *std::max_element(costs.begin(), costs.end()) / 1.22);
}

TEST_F(AccessFile, AGroupedSavedQueryTotalsEachGroupInGroupOrder)
{
    open("ASampleDatabase.accdb");
    // The expected totals, worked out from the table itself; Access groups texts without case.
    query("select * from [Asset Items]");
    QMap<QPair<QString, QString>, std::optional<double>> sums;
    QMap<QPair<QString, QString>, QPair<QString, QString>> shown;   // as the group's first row has it
    for (rs.first(); !rs.eof(); rs.next()) {
        const QString owner = rs.fieldByName("Owner").asString(), category = rs.fieldByName("Asset Category").asString();
        const QPair<QString, QString> key{owner.toLower(), category.toLower()};
        if (!shown.contains(key))
            shown.insert(key, {owner, category});
        std::optional<double> &sum = sums[key];
        if (!rs.fieldByName("Cost").isNull())
            sum = sum.value_or(0.0) + rs.fieldByName("Cost").asString().toDouble();
    }
    ASSERT_GT(sums.size(), 1);

    query("select * from qryCostsSummedByOwner");
    EXPECT_EQ(namesOf(ColumnKind::Text), (QStringList{"Owner", "Asset Category"}));
    EXPECT_EQ(namesOf(ColumnKind::Float), QStringList{"SumOfCost"});
    ASSERT_EQ(rs.recordCount(), sums.size());
    auto expected = sums.constBegin();   // QMap's order is the ascending order of the groups
    for (rs.first(); !rs.eof(); rs.next(), ++expected) {
        EXPECT_EQ(rs.fieldByName("Owner").asString(), shown.value(expected.key()).first);
        EXPECT_EQ(rs.fieldByName("Asset Category").asString(), shown.value(expected.key()).second);
        if (expected.value())
            EXPECT_NEAR(rs.fieldByName("SumOfCost").asFloat(), *expected.value(), 1e-6);
        else
            EXPECT_TRUE(rs.fieldByName("SumOfCost").isNull());
    }
    query("SELECT TOP 1 [SumOfCost] FROM qryCostsSummedByOwner ORDER BY [SumOfCost] DESC");
    ASSERT_GE(rs.recordCount(), 1);
    double highest = 0.0;
    for (const auto &sum : sums)
        highest = std::max(highest, sum.value_or(0.0));
    EXPECT_NEAR(rs.fieldByName("SumOfCost").asFloat(), highest, 1e-6);
}

namespace {

// A source table of every kind an expression meets: text, whole number, double, yes/no, date.
const QList<AccessColumn> Columns{{"Name", "Text", MDB_TEXT, 50, false},
                                  {"Count", "Long Integer", MDB_LONGINT, 4, false},
                                  {"Price", "Double", MDB_DOUBLE, 8, false},
                                  {"Done", "Yes/No", MDB_BOOL, 1, false},
                                  {"When", "Date/Time", MDB_DATETIME, 8, false}};

std::optional<QByteArray> v(const char *text)
{
    return QByteArray(text);
}

constexpr std::nullopt_t null = std::nullopt;

std::vector<AccessRow> sourceRows()
{
    return {{v("beta"), v("3"), v("2.5"), v("1"), v("2020-01-01 00:00:00")},
            {v("Alpha"), v("1"), v("10"), v("0"), v("2021-01-01 00:00:00")},
            {null, v("2"), null, v("0"), null},
            {v("gamma"), null, v("4"), v("1"), null},
            {v("ALPHA"), v("3"), v("1"), v("1"), null}};
}

using Part = AccessSavedQuery::Part;

AccessSavedQuery::Result run(QList<Part> parts)
{
    parts.prepend({5, "T", "", "", std::nullopt});
    return AccessSavedQuery("q", parts).run(Columns, sourceRows());
}

QStringList names(const AccessSavedQuery::Result &r, int column = 0)
{
    QStringList out;
    for (const AccessRow &row : r.rows)
        out << (row[size_t(column)] ? QString::fromUtf8(*row[size_t(column)]) : QStringLiteral("<null>"));
    return out;
}

QString refusal(const QList<Part> &parts)
{
    try {
        run(parts);
    } catch (const AccessExpression::Unsupported &e) {
        return e.description();
    }
    return QStringLiteral("<ran>");
}

} // namespace

TEST(AccessSavedQueryRun, WhereKeepsOnlyRowsThatAreTrueWithNullNeitherTrueNorFalse)
{
    const Part all{3, "", "", "", 1};
    EXPECT_EQ(names(run({all, {8, "", "", "[Count] = 3", {}}})), (QStringList{"beta", "ALPHA"}));
    EXPECT_EQ(names(run({all, {8, "", "", "[T].[Name] = \"alpha\"", {}}})), (QStringList{"Alpha", "ALPHA"}));
    EXPECT_EQ(names(run({all, {8, "", "", "Not ([Count] = 3)", {}}})), (QStringList{"Alpha", "<null>"}));
    EXPECT_EQ(names(run({all, {8, "", "", "[Count] <> 3 Or [Price] > 3", {}}})), (QStringList{"Alpha", "<null>", "gamma"}));
    EXPECT_EQ(names(run({all, {8, "", "", "([Count] >= 2 And [Done] = True) Or [Price] Is Null", {}}})),
              (QStringList{"beta", "<null>", "ALPHA"}));
    EXPECT_EQ(names(run({all, {8, "", "", "[Count] Is Null", {}}})), QStringList{"gamma"});
    EXPECT_EQ(names(run({all, {8, "", "", "[Count] = Null", {}}})), QStringList{});
    EXPECT_EQ(names(run({all, {8, "", "", "-[Count] * 2 + 1 < -4", {}}})), (QStringList{"beta", "ALPHA"}));
}

TEST(AccessSavedQueryRun, OrderTopAndComputedColumnsFollowAccess)
{
    // Descending by count, then name without case; nulls come first in ascending order.
    AccessSavedQuery::Result r = run({{3, "", "", "", 1}, {11, "D", "", "[Count]", {}}, {11, "", "", "[Name]", {}}});
    EXPECT_EQ(names(r), (QStringList{"ALPHA", "beta", "<null>", "Alpha", "gamma"}));
    // TOP 1 keeps the rows tied with the first.
    r = run({{3, "1", "", "", 1 | 16}, {11, "D", "", "[Count]", {}}});
    EXPECT_EQ(names(r), (QStringList{"beta", "ALPHA"}));
    r = run({{3, "2", "", "", 1 | 16}});
    EXPECT_EQ(names(r), (QStringList{"beta", "Alpha"}));

    r = run({{6, "", "", "[Name]", {}}, {6, "Net", "", "[Price]/2", {}}, {6, "", "", "[Count]*1.5", {}}});
    ASSERT_EQ(r.columns.size(), 3);
    EXPECT_EQ(r.columns[1].name, "Net");
    EXPECT_EQ(r.columns[1].mdbType, MDB_DOUBLE);
    EXPECT_EQ(r.columns[2].name, "Expr1000");
    EXPECT_EQ(r.computed, (QList<bool>{false, true, true}));
    EXPECT_EQ(names(r, 1), (QStringList{"1.25", "5", "<null>", "2", "0.5"}));
    EXPECT_EQ(names(r, 2), (QStringList{"4.5", "1.5", "3", "<null>", "4.5"}));
}

TEST(AccessSavedQueryRun, WhatCannotBeRunIsRefusedByName)
{
    const Part all{3, "", "", "", 1};
    EXPECT_EQ(refusal({all, {2, "Which", "", "", 10}}), "asks for parameters");
    EXPECT_EQ(refusal({{3, "", "", "", 1 | 2}}), "drops repeated rows (DISTINCT)");
    EXPECT_EQ(refusal({{6, "", "", "Left([Name], 1)", {}}}), "calls the function Left");
    EXPECT_EQ(refusal({all, {8, "", "", "[Name] Like \"a*\"", {}}}), "uses the operator Like");
    EXPECT_EQ(refusal({all, {8, "", "", "[When] > #2020-06-01#", {}}}), "compares with a date (#...#)");
    EXPECT_EQ(refusal({all, {8, "", "", "[Name] = 3", {}}}), "compares a text with a number");
    EXPECT_EQ(refusal({all, {8, "", "", "[Nmae] = \"x\"", {}}}), "asks for the parameter [Nmae]");
    // The file reader gives an empty text as Null: such tests could give a wrong answer.
    EXPECT_EQ(refusal({all, {8, "", "", "[Name] = \"\"", {}}}), "compares with an empty text, which cannot be told from Null here");
    EXPECT_TRUE(refusal({all, {8, "", "", "[Name] Is Null", {}}}).startsWith("tests a text for Null"));
    EXPECT_EQ(refusal({{6, "", "", "[Count]+1", {}}}), "computes the column [Count]+1, whose type is not known here");
    EXPECT_EQ(refusal({{6, "", "", "[Name] & \"x\"", {}}}), "joins texts with &");
    EXPECT_EQ(refusal({{6, "", "", "[Price]/([Count]-3)", {}}}), "divides by zero");
}

namespace {

QStringList kinds(const AccessSavedQuery::Result &r)
{
    QStringList out;
    for (const AccessColumn &c : r.columns)
        out << c.name + QLatin1Char(':') + c.typeName;
    return out;
}

} // namespace

TEST(AccessSavedQueryTotals, EachTotalOverEachGroupWithItsKindAndNullsSkipped)
{
    // Grouped by Yes/No: Access stores True as -1, so the True group sorts first.
    const AccessSavedQuery::Result r = run({{6, "", "", "[Done]", {}},
                                            {6, "Total", "", "Sum([Price])", {}},
                                            {6, "", "", "Count(*)", {}},
                                            {6, "Priced", "", "Count([T].[Price])", {}},
                                            {6, "", "", "Avg([Count])", {}},
                                            {6, "Least", "", "Min([Name])", {}},
                                            {6, "Latest", "", "Max([When])", {}},
                                            {6, "Firstprice", "", "First([Price])", {}},
                                            {6, "Lastname", "", "Last([Name])", {}},
                                            {9, "", "", "[Done]", {}}});
    EXPECT_EQ(kinds(r), (QStringList{"Done:Yes/No", "Total:Double", "Expr1000:Long Integer", "Priced:Long Integer",
                                     "Expr1001:Double", "Least:Text", "Latest:Date/Time", "Firstprice:Double",
                                     "Lastname:Text"}));
    EXPECT_EQ(r.columns[5].size, 50);
    EXPECT_EQ(names(r, 0), (QStringList{"1", "0"}));
    EXPECT_EQ(names(r, 1), (QStringList{"7.5", "10"}));
    EXPECT_EQ(names(r, 2), (QStringList{"3", "2"}));
    EXPECT_EQ(names(r, 3), (QStringList{"3", "1"}));
    EXPECT_EQ(names(r, 4), (QStringList{"3", "1.5"}));   // gamma's Null count is skipped
    EXPECT_EQ(names(r, 5), (QStringList{"ALPHA", "Alpha"}));   // without case; Null skipped
    EXPECT_EQ(names(r, 6), (QStringList{"2020-01-01 00:00:00", "2021-01-01 00:00:00"}));
    EXPECT_EQ(names(r, 7), (QStringList{"2.5", "10"}));
    EXPECT_EQ(names(r, 8), (QStringList{"ALPHA", "Alpha"}));
    EXPECT_EQ(r.computed, QList<bool>(9, true));
}

TEST(AccessSavedQueryTotals, TotalsOfNoValuesAndOfNoRowsFollowAccess)
{
    const QList<Part> totals{{6, "", "", "Sum([Price])", {}}, {6, "", "", "Count([Price])", {}},
                             {6, "", "", "Count(*)", {}}, {6, "", "", "Max([Price])", {}}};
    // Only Nulls: Sum and Max are Null, Count of the column 0, Count(*) counts the row.
    AccessSavedQuery::Result r = run(QList<Part>(totals) << Part{8, "", "", "[Price] Is Null", {}});
    ASSERT_EQ(r.rows.size(), 1u);
    EXPECT_EQ(names(r, 0), QStringList{"<null>"});
    EXPECT_EQ(names(r, 1), QStringList{"0"});
    EXPECT_EQ(names(r, 2), QStringList{"1"});
    EXPECT_EQ(names(r, 3), QStringList{"<null>"});
    // No rows at all: without GROUP BY still one row of totals, with GROUP BY none.
    r = run(QList<Part>(totals) << Part{8, "", "", "[Count] > 100", {}});
    EXPECT_EQ(names(r, 2), QStringList{"0"});
    EXPECT_EQ(names(r, 0), QStringList{"<null>"});
    r = run(QList<Part>(totals) << Part{8, "", "", "[Count] > 100", {}} << Part{9, "", "", "[Done]", {}});
    EXPECT_TRUE(r.rows.empty());
}

TEST(AccessSavedQueryTotals, GroupsHavingOrderAndTopOverSeveralColumns)
{
    const Part name{6, "", "", "[Name]", {}}, count{6, "N", "", "Count(*)", {}}, byName{9, "", "", "[Name]", {}};
    // Texts differing in case form one group, shown as its first row has it; Null sorts first.
    AccessSavedQuery::Result r = run({name, count, byName});
    EXPECT_EQ(names(r, 0), (QStringList{"<null>", "Alpha", "beta", "gamma"}));
    EXPECT_EQ(names(r, 1), (QStringList{"1", "2", "1", "1"}));
    EXPECT_EQ(names(run({name, count, byName, {10, "", "", "Count(*) > 1", {}}})), QStringList{"Alpha"});
    r = run({name, count, byName, {11, "D", "", "Count(*)", {}}, {11, "", "", "[Name]", {}}});
    EXPECT_EQ(names(r), (QStringList{"Alpha", "<null>", "beta", "gamma"}));
    r = run({{3, "1", "", "", 16}, name, count, byName, {11, "D", "", "Count(*)", {}}});
    EXPECT_EQ(names(r), QStringList{"Alpha"});

    r = run({{6, "", "", "[Done]", {}}, {6, "", "", "[Count]", {}}, {6, "", "", "Sum([Price]) * 2", {}},
             {9, "", "", "[Done]", {}}, {9, "", "", "[Count]", {}}});
    EXPECT_EQ(names(r, 0), (QStringList{"1", "1", "0", "0"}));
    EXPECT_EQ(names(r, 1), (QStringList{"<null>", "3", "1", "2"}));
    EXPECT_EQ(names(r, 2), (QStringList{"8", "7", "20", "<null>"}));
    EXPECT_EQ(r.columns[2].typeName, "Double");
}

TEST(AccessSavedQueryTotals, WhatAGroupCannotShowIsRefusedByName)
{
    const Part byDone{9, "", "", "[Done]", {}};
    EXPECT_EQ(refusal({{6, "", "", "[Name]", {}}, {6, "", "", "Sum([Price])", {}}, byDone}),
              "uses the column [Name] without grouping by it or totalling it");
    EXPECT_EQ(refusal({{6, "", "", "[Name]", {}}, {6, "", "", "Count(*)", {}}}),
              "uses the column [Name] without grouping by it or totalling it");
    EXPECT_EQ(refusal({{6, "", "", "Sum([Name])", {}}, byDone}), "totals a text with Sum");
    EXPECT_EQ(refusal({{6, "", "", "Sum(Max([Price]))", {}}, byDone}), "puts a total inside another (Max)");
    EXPECT_EQ(refusal({{6, "", "", "Sum([Price])", {}}, {8, "", "", "Sum([Price]) > 1", {}}}), "uses a total in WHERE");
    EXPECT_EQ(refusal({{3, "", "", "", 1}, byDone}), "groups rows and selects all columns (*)");
    EXPECT_EQ(refusal({{6, "", "", "Count([Done]) + 1", {}}, byDone}),
              "computes the column Count([Done]) + 1, whose type is not known here");
}

namespace {

// A second source for joins: its Id matches T's Count, and it too has a column Name.
const QList<AccessColumn> OtherColumns{{"Id", "Long Integer", MDB_LONGINT, 4, false},
                                       {"Label", "Text", MDB_TEXT, 20, false},
                                       {"Name", "Text", MDB_TEXT, 20, false}};

AccessSavedQuery::Result runJoined(QList<Part> parts, int joinKind = 1, const char *on = "[T].[Count] = [u].[Id]")
{
    parts.prepend({7, "T", "u", on, joinKind});
    parts.prepend({5, "U", "u", "", std::nullopt});
    parts.prepend({5, "T", "", "", std::nullopt});
    std::vector<AccessSavedQuery::Source> sources{
        {Columns, sourceRows()},
        {OtherColumns, {{v("1"), v("one"), v("alpha")}, {v("3"), v("three"), v("BETA")}, {v("3"), v("trois"), null},
                        {v("9"), v("nine"), v("z")}}}};
    return AccessSavedQuery("q", parts).run(std::move(sources));
}

QString joinRefusal(const QList<Part> &parts, int joinKind = 1, const char *on = "[T].[Count] = [u].[Id]")
{
    try {
        runJoined(parts, joinKind, on);
    } catch (const AccessExpression::Unsupported &e) {
        return e.description();
    }
    return QStringLiteral("<ran>");
}

} // namespace

TEST(AccessSavedQueryJoin, AnInnerJoinPairsTheMatchingRowsOfBothTables)
{
    AccessSavedQuery::Result r = runJoined({{6, "", "", "[T].[Name]", {}}, {6, "", "", "[Label]", {}},
                                            {11, "", "", "[Label]", {}}, {11, "", "", "[T].[Name]", {}}});
    EXPECT_EQ(names(r, 0), (QStringList{"Alpha", "ALPHA", "beta", "ALPHA", "beta"}));
    EXPECT_EQ(names(r, 1), (QStringList{"one", "three", "three", "trois", "trois"}));

    // All columns: a name both tables have is told apart by its table, as Access does.
    r = runJoined({{3, "", "", "", 1}});
    EXPECT_EQ(kinds(r), (QStringList{"T.Name:Text", "Count:Long Integer", "Price:Double", "Done:Yes/No",
                                     "When:Date/Time", "Id:Long Integer", "Label:Text", "u.Name:Text"}));
    EXPECT_EQ(r.rows.size(), 5u);   // rows without a match on either side, and Null keys, are left out

    r = runJoined({{6, "", "", "[Label]", {}}, {6, "", "", "Sum([Price])", {}}, {9, "", "", "[u].[Label]", {}}});
    EXPECT_EQ(names(r, 0), (QStringList{"one", "three", "trois"}));
    EXPECT_EQ(names(r, 1), (QStringList{"10", "3.5", "3.5"}));

    // Texts match without case; Null matches nothing, not even Null.
    const QList<Part> pick{{6, "", "", "[T].[Name]", {}}, {6, "", "", "[u].[Name]", {}}};
    r = runJoined(pick, 1, "[u].[Name] = [T].[Name]");
    EXPECT_EQ(names(r, 0), (QStringList{"beta", "Alpha", "ALPHA"}));
    EXPECT_EQ(names(r, 1), (QStringList{"BETA", "alpha", "alpha"}));
    r = runJoined(pick, 1, "[T].[Count] = [u].[Id] And [T].[Name] = [u].[Name]");
    EXPECT_EQ(names(r, 0), (QStringList{"beta", "Alpha"}));
}

TEST(AccessSavedQueryJoin, WhatAJoinCannotRunIsRefusedByName)
{
    const Part all{3, "", "", "", 1};
    EXPECT_EQ(joinRefusal({all}, 2), "joins tables by an outer join");
    EXPECT_EQ(joinRefusal({all, {7, "T", "u", "[T].[Price] > [u].[Id]", 1}}), "joins more than two tables");
    EXPECT_EQ(joinRefusal({all}, 1, "[T].[Price] > [u].[Id]"), "joins tables other than on equal columns");
    EXPECT_EQ(joinRefusal({all}, 1, "[T].[Count] = [T].[Price]"), "joins tables other than on equal columns");
    EXPECT_EQ(joinRefusal({{6, "", "", "[Name]", {}}}), "names the column [Name] of both tables without saying which");
    EXPECT_EQ(joinRefusal({all, {5, "V", "", "", {}}}), "reads from more than two tables");
    EXPECT_EQ(refusal({all, {5, "U", "", "", {}}}), "reads from two tables without joining them");
    EXPECT_EQ(refusal({all, {7, "T", "U", "[T].[a] = [U].[a]", 1}}), "joins a table it does not read");
}

TEST_F(AccessFile, EveryListedTableAndQueryOpensUnderItsQuotedName)
{
    open("ASampleDatabase.accdb");
    for (const QString &table : connection.tableNames()) {
        EXPECT_NO_THROW(query(QStringLiteral("select TOP 1 * from ") + connection.provider().quotedName(table)))
            << qPrintable(table);
        EXPECT_FALSE(rs.columnDefs().isEmpty()) << qPrintable(table);
    }
    EXPECT_EQ(connection.provider().quotedName(QStringLiteral("Asset Items")), QStringLiteral("[Asset Items]"));
    EXPECT_EQ(connection.provider().quotedName(QStringLiteral("qryGSTCalculations")), QStringLiteral("qryGSTCalculations"));
}
