#pragma once

#include <QString>
#include <QTemporaryDir>
#include <QVariant>
#include <memory>

struct pg_conn;

// A fresh database of one kind with a second connection of its own for checking what reached
// it: SQLite in a temporary file, or PostgreSQL on the test server (scripts/pg-test-server).
class TestServer
{
public:
    virtual ~TestServer() = default;
    virtual QString connectionText() const = 0;   // the program's fixed text plus ";Data Source="
    virtual void exec(const QString &sql) = 0;
    virtual QVariant value(const QString &sql) = 0;   // first column of the first row; booleans 0/1

    // Null with 'why' set when the kind cannot run here (no PostgreSQL test server).
    static std::unique_ptr<TestServer> create(const QString &kind, const char *schema, QString *why);
};

// PostgreSQL: one database per test program, emptied for each test; reached through a data link file.
class PostgresTestServer : public TestServer
{
public:
    static std::unique_ptr<PostgresTestServer> create(const QString &database, QString *why);
    ~PostgresTestServer() override;
    QString connectionText() const override;
    void exec(const QString &sql) override;
    QVariant value(const QString &sql) override;
    QString dataLinkFile() const { return m_udl; }
    QString dataLinkText() const { return m_text; }   // the connection text in the data link file

private:
    QTemporaryDir m_dir;
    QString m_udl;
    QString m_text;
    pg_conn *m_conn = nullptr;
};
