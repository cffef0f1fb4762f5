#include "TestServer.h"

#include "TestDatabase.h"

#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <libpq-fe.h>

namespace {

class SqliteTestServer : public TestServer
{
public:
    explicit SqliteTestServer(const char *schema) : m_db(schema) {}
    QString connectionText() const override { return m_db.connectionText(); }
    void exec(const QString &sql) override { m_db.exec(sql); }
    QVariant value(const QString &sql) override { return m_db.value(sql); }

private:
    TestDatabase m_db;
};

QString testServerText()
{
    QFile f(QStringLiteral(ORVANE_PG_TEST_UDL));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll()).trimmed();
}

PGconn *connectTo(const QString &text)
{
    const auto part = [&](const char *key) {
        const auto m = QRegularExpression(QStringLiteral("%1=([^;]*)").arg(QLatin1String(key))).match(text);
        return m.captured(1).toUtf8();
    };
    const QByteArray conninfo = "host=" + part("Server") + " port=" + part("Port") + " dbname=" + part("Database")
                              + " user=" + part("User ID") + " password=" + part("Password");
    return PQconnectdb(conninfo.constData());
}

} // namespace

std::unique_ptr<TestServer> TestServer::create(const QString &kind, const char *schema, QString *why)
{
    if (kind == QLatin1String("SQLite"))
        return std::make_unique<SqliteTestServer>(schema);
    auto pg = PostgresTestServer::create(QStringLiteral("orvane_") + QString::fromUtf8(
        ::testing::UnitTest::GetInstance()->current_test_suite()->name()).section(QLatin1Char('/'), -1).toLower(), why);
    if (pg)
        pg->exec(QString::fromUtf8(schema));
    return pg;
}

std::unique_ptr<PostgresTestServer> PostgresTestServer::create(const QString &database, QString *why)
{
    const QString admin = testServerText();
    if (admin.isEmpty()) {
        *why = QStringLiteral("no PostgreSQL test server (scripts/pg-test-server start did not run or could not start one)");
        return nullptr;
    }
    PGconn *a = connectTo(admin);
    if (PQstatus(a) != CONNECTION_OK) {
        *why = QStringLiteral("PostgreSQL test server unreachable: ") + QString::fromUtf8(PQerrorMessage(a));
        PQfinish(a);
        return nullptr;
    }
    PGresult *exists = PQexec(a, ("SELECT 1 FROM pg_database WHERE datname = '" + database.toUtf8() + "'").constData());
    if (PQntuples(exists) == 0)
        PQclear(PQexec(a, ("CREATE DATABASE " + database.toUtf8()).constData()));
    PQclear(exists);
    PQfinish(a);

    std::unique_ptr<PostgresTestServer> s(new PostgresTestServer);
    s->m_text = QString(admin).replace(QRegularExpression(QStringLiteral("Database=[^;]*")),
                                       QStringLiteral("Database=") + database);
    s->m_conn = connectTo(s->m_text);
    if (PQstatus(s->m_conn) != CONNECTION_OK) {
        *why = QString::fromUtf8(PQerrorMessage(s->m_conn));
        return nullptr;
    }
    PQclear(PQexec(s->m_conn, "SET client_min_messages = warning"));
    s->exec(QStringLiteral("DROP SCHEMA public CASCADE; CREATE SCHEMA public;"));
    s->m_udl = s->m_dir.filePath(QStringLiteral("kunden server.udl"));
    QFile f(s->m_udl);
    f.open(QIODevice::WriteOnly);
    f.write("[oledb]\r\n; Everything after this line is a connection text\r\n" + s->m_text.toUtf8() + "\r\n");
    // It holds the password: readable by others, it would be refused.
    f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return s;
}

PostgresTestServer::~PostgresTestServer()
{
    PQfinish(m_conn);
}

QString PostgresTestServer::connectionText() const
{
    return TestDatabase::fixedText() + QStringLiteral(";Data Source=") + m_udl;
}

void PostgresTestServer::exec(const QString &sql)
{
    PGresult *r = PQexec(m_conn, sql.toUtf8().constData());
    if (PQresultStatus(r) != PGRES_COMMAND_OK && PQresultStatus(r) != PGRES_TUPLES_OK)
        ADD_FAILURE() << "SQL failed: " << PQresultErrorMessage(r) << " in " << sql.toStdString();
    PQclear(r);
}

QVariant PostgresTestServer::value(const QString &sql)
{
    PGresult *r = PQexec(m_conn, sql.toUtf8().constData());
    QVariant v;
    if (PQresultStatus(r) != PGRES_TUPLES_OK)
        ADD_FAILURE() << "SQL failed: " << PQresultErrorMessage(r) << " in " << sql.toStdString();
    else if (PQntuples(r) > 0 && !PQgetisnull(r, 0, 0)) {
        const QString text = QString::fromUtf8(PQgetvalue(r, 0, 0));
        v = PQftype(r, 0) == 16 ? QVariant(qint64(text == QLatin1String("t"))) : QVariant(text);
    }
    PQclear(r);
    return v;
}
