#include "BatchScope.h"
#include "Connection.h"
#include "ConnectionText.h"
#include "DataError.h"
#include "RecordSet.h"
#include <TestDatabase.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <memory>
#include <sqlite3.h>
#include <unistd.h>

namespace {

const char *schema = R"(
CREATE TABLE kunden (KolmNummer TEXT PRIMARY KEY, Name1 TEXT, W2MP DOUBLE);
CREATE TABLE adressen (id INTEGER PRIMARY KEY, Ort TEXT);
CREATE INDEX kunden_name ON kunden(Name1);
CREATE VIEW deutsche AS SELECT * FROM kunden;
CREATE TABLE alpha (a TEXT);
INSERT INTO kunden VALUES ('1', 'Müller', 48.1);
)";

QString openError(const QString &text)
{
    Connection c;
    c.setConnectionText(text);
    try {
        c.open();
    } catch (const DataError &e) {
        EXPECT_FALSE(c.isConnected());
        return e.message();
    }
    ADD_FAILURE() << "opened: " << text.toStdString();
    return {};
}

QString withSource(const QString &path)
{
    return TestDatabase::fixedText() + QStringLiteral(";Data Source=") + path;
}

QByteArray contents(const QString &path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

} // namespace

TEST(ConnectionText, FixedProgramTextKeepsEmptyQuotedPasswordsAndPathWithSpaces)
{
    const auto t = ConnectionText::parse(TestDatabase::fixedText() + QStringLiteral(";Data Source=/home/a b/kunden.mdb"));
    EXPECT_EQ(t.pairs().size(), 10);
    EXPECT_EQ(t.value(QStringLiteral("provider")), QStringLiteral("Microsoft.Jet.OLEDB.4.0"));
    EXPECT_TRUE(t.contains(QStringLiteral("Password")));
    EXPECT_EQ(t.value(QStringLiteral("Password")), QString());
    EXPECT_EQ(t.value(QStringLiteral("Jet OLEDB:Database Password")), QString());
    EXPECT_EQ(t.value(QStringLiteral("Mode")), QStringLiteral("Share Deny None"));
    EXPECT_EQ(t.value(QStringLiteral("Data Source")), QStringLiteral("/home/a b/kunden.mdb"));
}

TEST(ConnectionText, QuotedValuesHoldSemicolonsAndDoubledQuotes)
{
    const auto t = ConnectionText::parse(QStringLiteral("A=\"x;y\";B='it''s';C=\"say \"\"hi\"\"\"; ;D = 5 "));
    EXPECT_EQ(t.value(QStringLiteral("A")), QStringLiteral("x;y"));
    EXPECT_EQ(t.value(QStringLiteral("B")), QStringLiteral("it's"));
    EXPECT_EQ(t.value(QStringLiteral("C")), QStringLiteral("say \"hi\""));
    EXPECT_EQ(t.value(QStringLiteral("d")), QStringLiteral("5"));
}

TEST(ConnectionText, MalformedTextIsRejected)
{
    EXPECT_THROW(ConnectionText::parse(QStringLiteral("A=\"open")), DataError);
    EXPECT_THROW(ConnectionText::parse(QStringLiteral("=x")), DataError);
    EXPECT_THROW(ConnectionText::parse(QStringLiteral("A=\"x\"y")), DataError);
}

TEST(ConnectionText, SemicolonInUnquotedPathBreaksTheText)
{
    // The program appends the path unquoted, so a ';' cuts it; the rest is not a key=value part.
    const QString path = QStringLiteral("/tmp/a;b.sqlite");
    EXPECT_THROW(ConnectionText::parse(withSource(path)), DataError);
    const QString message = openError(withSource(path));
    EXPECT_TRUE(message.contains(QStringLiteral("b.sqlite"))) << message.toStdString();
}

TEST(Connection, OpensSqliteFileAndListsTablesAndViewsInDatabaseOrder)
{
    TestDatabase db(schema);
    Connection c;
    c.setConnectionText(db.connectionText());
    c.open();
    EXPECT_TRUE(c.isConnected());
    EXPECT_FALSE(c.isReadOnly());
    EXPECT_EQ(c.tableNames(), (QStringList{"kunden", "adressen", "deutsche", "alpha"}));
    c.close();
    EXPECT_FALSE(c.isConnected());
    EXPECT_THROW(c.tableNames(), DataError);
}

TEST(Connection, UnknownProviderIsNamed)
{
    const QString m = openError(QStringLiteral("Provider=SQLOLEDB;Data Source=x"));
    EXPECT_TRUE(m.contains(QStringLiteral("SQLOLEDB")));
}

TEST(Connection, FileErrorsNameTheFileAndLeaveTheDiskAlone)
{
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("missing.mdb"));
    EXPECT_TRUE(openError(withSource(missing)).contains(missing));
    EXPECT_FALSE(QFileInfo::exists(missing));

    EXPECT_TRUE(openError(withSource(dir.path())).contains(dir.path()));
    EXPECT_TRUE(openError(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0")).contains(QStringLiteral("Data Source")));

    const QString empty = dir.filePath(QStringLiteral("empty.mdb"));
    QFile(empty).open(QIODevice::WriteOnly);
    EXPECT_TRUE(openError(withSource(empty)).contains(empty));
    EXPECT_EQ(QFileInfo(empty).size(), 0);

    const QString access = dir.filePath(QStringLiteral("access.mdb"));
    {
        QFile f(access);
        f.open(QIODevice::WriteOnly);
        f.write(QByteArray("\x00\x01\x00\x00Standard Jet DB\x00", 20) + QByteArray(2028, '\0'));
    }
    const QByteArray accessBytes = contents(access);
    const QString m = openError(withSource(access));
    EXPECT_TRUE(m.contains(QStringLiteral("damaged"))) << m.toStdString();
    EXPECT_TRUE(m.contains(access));
    EXPECT_EQ(contents(access), accessBytes);

    const QString unknown = dir.filePath(QStringLiteral("garbage.mdb"));
    {
        QFile f(unknown);
        f.open(QIODevice::WriteOnly);
        f.write(QByteArray(2048, 'x'));
    }
    const QString um = openError(withSource(unknown));
    EXPECT_TRUE(um.contains(QStringLiteral("unrecognized database format"))) << um.toStdString();
    EXPECT_TRUE(um.contains(unknown));

    const QStringList before = QDir(dir.path()).entryList(QDir::Files);
    TestDatabase db("CREATE TABLE t (a TEXT); INSERT INTO t VALUES (zeroblob(20000));");
    const QByteArray whole = contents(db.path());
    const QString truncated = dir.filePath(QStringLiteral("truncated.sqlite"));
    for (const qsizetype size : {qsizetype(50), whole.size() - 4096, whole.size() - 100}) {
        QFile f(truncated);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(whole.left(size));
        f.close();
        const QString tm = openError(withSource(truncated));
        EXPECT_TRUE(tm.contains(truncated)) << tm.toStdString();
        EXPECT_EQ(contents(truncated), whole.left(size));
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), before + QStringList{"truncated.sqlite"});
}

TEST(Connection, LockedFileGivesAClearErrorAndIsNotChanged)
{
    TestDatabase db("CREATE TABLE t (a TEXT); INSERT INTO t VALUES ('x');");
    sqlite3 *other = nullptr;
    ASSERT_EQ(sqlite3_open(db.path().toUtf8().constData(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; UPDATE t SET a='y';",
                           nullptr, nullptr, nullptr), SQLITE_OK);
    const QByteArray before = contents(db.path());
    const QString m = openError(db.connectionText());
    EXPECT_TRUE(m.contains(db.path())) << m.toStdString();
    EXPECT_TRUE(m.contains(QStringLiteral("locked"))) << m.toStdString();
    EXPECT_EQ(contents(db.path()), before);
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
}

TEST(Connection, ReadOnlyFileOpensAndSaysSo)
{
    TestDatabase db("CREATE TABLE t (a TEXT);");
    QFile::setPermissions(db.path(), QFile::ReadOwner);
    Connection c;
    c.setConnectionText(db.connectionText());
    c.open();
    EXPECT_TRUE(c.isReadOnly() || ::geteuid() == 0);
    QFile::setPermissions(db.path(), QFile::ReadOwner | QFile::WriteOwner);
}

// A save made by the batch's timer that fails has no caller to tell; the batch's next post says
// so, and the records it lost are not reported as written.
TEST(Connection, FailedTimedSaveIsRaisedByTheNextPost)
{
    int argc = 0;
    std::unique_ptr<QCoreApplication> app;
    if (!QCoreApplication::instance())
        app = std::make_unique<QCoreApplication>(argc, nullptr);
    TestDatabase db(schema);
    Connection c;
    c.setConnectionText(db.connectionText());
    c.open();
    RecordSet rs;
    rs.setConnection(&c);
    rs.setCommandText(QStringLiteral("select * from kunden"));
    rs.open();
    rs.setProviderOption(QStringLiteral("Update Criteria"), 0);   // as the program posts

    BatchScope batch(c);
    rs.edit();
    rs.fieldByName(QStringLiteral("Name1")).setAsString(QStringLiteral("Lost"));
    rs.post();
    // A reader holding its lock keeps the timer's save from writing the file.
    db.exec(QStringLiteral("BEGIN"));
    db.value(QStringLiteral("select count(*) from kunden"));
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 400)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    db.exec(QStringLiteral("COMMIT"));

    rs.edit();
    rs.fieldByName(QStringLiteral("Name1")).setAsString(QStringLiteral("Next"));
    try {
        rs.post();
        ADD_FAILURE() << "the post after a failed save succeeded";
    } catch (const DataError &e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("not saved"))) << qPrintable(e.message());
    }
    EXPECT_EQ(rs.state(), RecordSet::State::Edit);
    EXPECT_EQ(db.value(QStringLiteral("select Name1 from kunden")).toString(), QStringLiteral("Müller"));
    rs.post();   // told once: the batch goes on
    batch.commit();
    EXPECT_EQ(db.value(QStringLiteral("select Name1 from kunden")).toString(), QStringLiteral("Next"));
}
