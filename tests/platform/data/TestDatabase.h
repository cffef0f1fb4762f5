#pragma once

#include <QString>
#include <QTemporaryDir>
#include <QVariant>

struct sqlite3;

// A temporary SQLite database built from SQL text, with a second connection of its own for
// checking what reached the file.
class TestDatabase
{
public:
    explicit TestDatabase(const char *sql);
    ~TestDatabase();

    QString path() const { return m_path; }
    QString connectionText() const;   // the program's fixed text plus ";Data Source=" and the path
    void exec(const QString &sql);
    QVariant value(const QString &sql);   // first column of the first row
    QString dir() const { return m_dir.path(); }

    static QString fixedText();

private:
    QTemporaryDir m_dir;
    QString m_path;
    sqlite3 *m_db = nullptr;
};
