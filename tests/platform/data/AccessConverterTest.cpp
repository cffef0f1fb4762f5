#include "AccessConverter.h"
#include "AccessProvider.h"
#include "Connection.h"
#include "DataError.h"
#include "RecordSet.h"
#include <TestDatabase.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

QString testFile(const char *name)
{
    return QStringLiteral(ORVANE_TESTDATA_DIR "/") + QLatin1String(name);
}

QString connectionText(const QString &path)
{
    return TestDatabase::fixedText() + QStringLiteral(";Data Source=") + path;
}

// Every value of every row of one table, numbers as numbers so "1995.5000" equals 1995.5.
QList<QStringList> allRows(Connection &c, const QString &table)
{
    RecordSet rs;
    rs.setConnection(&c);
    rs.setCommandText(QStringLiteral("select * from [%1]").arg(table));
    if (dynamic_cast<AccessProvider *>(&c.provider()) == nullptr)
        rs.setCommandText(QStringLiteral("select * from \"%1\"").arg(table));
    rs.open();
    QList<QStringList> rows;
    for (rs.first(); !rs.eof(); rs.next()) {
        QStringList row;
        for (Field *f : rs.fields()) {
            bool number = false;
            const double d = f->asString().toDouble(&number);
            row << (number ? QString::number(d, 'g', 15) : f->asString());
        }
        rows << row;
    }
    return rows;
}

QStringList kindsOf(Connection &c, const QString &sql)
{
    RecordSet rs;
    rs.setConnection(&c);
    rs.setCommandText(sql);
    rs.open();
    QStringList kinds;
    for (const ColumnDef &d : rs.columnDefs())
        kinds << d.name + QLatin1Char(':') + QString::number(int(d.kind));
    return kinds;
}

class RoundTrip : public ::testing::TestWithParam<const char *>
{
};

} // namespace

TEST_P(RoundTrip, EveryTableArrivesWithItsKindsRowsAndValues)
{
    const QString source = testFile(GetParam());
    if (!QFileInfo::exists(source))
        GTEST_SKIP() << "test data absent: " << source.toStdString();
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("converted.sqlite"));
    QStringList progressed;
    const auto counts = AccessConverter::convert(source, target, [&](const QString &t, qint64) { progressed << t; });

    Connection access, sqlite;
    access.setConnectionText(connectionText(source));
    access.open();
    sqlite.setConnectionText(connectionText(target));
    sqlite.open();
    EXPECT_FALSE(sqlite.isReadOnly());
    // The tables are copied; saved queries (views) are not.
    const QStringList tables = dynamic_cast<AccessProvider &>(access.provider()).userTables();
    ASSERT_EQ(sqlite.tableNames(), tables);
    ASSERT_EQ(counts.size(), tables.size());
    for (const auto &count : counts) {
        SCOPED_TRACE(count.table.toStdString());
        EXPECT_TRUE(progressed.contains(count.table));
        const QList<QStringList> before = allRows(access, count.table), after = allRows(sqlite, count.table);
        EXPECT_EQ(count.rows, before.size());
        EXPECT_EQ(after, before);
        sqlite3 *db = nullptr;
        sqlite3_open_v2(target.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt *s = nullptr;
        sqlite3_prepare_v2(db, "SELECT name FROM pragma_table_info(?1) WHERE pk > 0 ORDER BY pk", -1, &s, nullptr);
        const QByteArray name = count.table.toUtf8();
        sqlite3_bind_text(s, 1, name.constData(), -1, SQLITE_TRANSIENT);
        QStringList key;
        while (sqlite3_step(s) == SQLITE_ROW)
            key << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(s, 0)));
        sqlite3_finalize(s);
        sqlite3_close(db);
        EXPECT_EQ(key, dynamic_cast<AccessProvider &>(access.provider()).primaryKey(count.table));
        EXPECT_EQ(kindsOf(sqlite, QStringLiteral("select * from \"%1\"").arg(count.table)),
                  kindsOf(access, QStringLiteral("select * from [%1]").arg(count.table)));
    }
}

INSTANTIATE_TEST_SUITE_P(AccessFiles, RoundTrip, ::testing::Values("DateTestDatabase.mdb", "ASampleDatabase.accdb"));

TEST(AccessConversion, RefusesToOverwriteAndLeavesNoFileWhenTheSourceIsNotAccess)
{
    const QString source = testFile("DateTestDatabase.mdb");
    if (!QFileInfo::exists(source))
        GTEST_SKIP() << "test data absent";
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("kunden.sqlite"));
    {
        QFile f(target);
        f.open(QIODevice::WriteOnly);
        f.write("keep me");
    }
    QString message;
    try {
        AccessConverter::convert(source, target);
    } catch (const DataError &e) {
        message = e.message();
    }
    EXPECT_TRUE(message.contains(target)) << message.toStdString();
    QFile f(target);
    f.open(QIODevice::ReadOnly);
    EXPECT_EQ(f.readAll(), "keep me");

    TestDatabase db("CREATE TABLE t (a TEXT);");
    const QString second = dir.filePath(QStringLiteral("second.sqlite"));
    EXPECT_THROW(AccessConverter::convert(db.path(), second), DataError);
    EXPECT_FALSE(QFileInfo::exists(second));
    EXPECT_FALSE(QFileInfo::exists(second + ".part"));
}

TEST(AccessConversion, TypesKeepTheirKindAndAffinity)
{
    // Memo and other non-mappable texts must stay text in SQLite without being offered as text.
    EXPECT_EQ(AccessConverter::sqliteType("Text", 30), "VARCHAR(30)");
    EXPECT_EQ(AccessConverter::sqliteType("Memo", 0), "LONGTEXT");
    EXPECT_EQ(AccessConverter::sqliteType("Yes/No", 1), "BOOLEAN");
    EXPECT_EQ(AccessConverter::sqliteType("AutoNumber Long Integer", 4), "INTEGER");
    TestDatabase db("CREATE TABLE t (m LONGTEXT, g GUIDTEXT, c CURRENCY); INSERT INTO t VALUES ('007', '{1}', '1995.5000');");
    EXPECT_EQ(db.value("select typeof(m) || typeof(g) || typeof(c) from t").toString(), "texttextreal");
    EXPECT_EQ(db.value("select m from t").toString(), "007");
}
