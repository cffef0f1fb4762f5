#pragma once

#include <QString>
#include <QTemporaryDir>
#include <QVariant>

struct sqlite3;

// A temporary SQLite database built from SQL text, with a second connection of its own for
// checking what reached the file. The default name has a space, as users' file names do.
class TestDatabase
{
public:
    explicit TestDatabase(const char *sql, const QString &name = QStringLiteral("kunden db.sqlite"));
    ~TestDatabase();
    TestDatabase(const TestDatabase &) = delete;
    TestDatabase &operator=(const TestDatabase &) = delete;

    QString path() const { return m_path; }
    QString folder() const { return m_dir.path(); }
    QString connectionText() const;   // the program's fixed text plus ";Data Source=" and the path
    void exec(const QString &sql) const;
    QVariant value(const QString &sql) const;   // first column of the first row
    QString scalar(const QString &sql) const;   // the same, as SQLite writes it as text

    static QString fixedText();

private:
    QTemporaryDir m_dir;
    QString m_path;
    sqlite3 *m_db = nullptr;
};
