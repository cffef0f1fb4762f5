#include "TestDatabase.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdexcept>

TestDatabase::TestDatabase(const char *sql, const QString &name) : m_path(m_dir.filePath(name))
{
    if (sqlite3_open(m_path.toUtf8().constData(), &m_db) != SQLITE_OK)
        throw std::runtime_error("cannot create test database");
    exec(QString::fromUtf8(sql));
}

TestDatabase::~TestDatabase()
{
    sqlite3_close(m_db);
}

QString TestDatabase::fixedText()
{
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Password=\"\";User ID=Admin;Mode=Share Deny None;"
                          "Jet OLEDB:Database Password=\"\";Jet OLEDB:Engine Type=5;Jet OLEDB:Database Locking Mode=1;"
                          "Jet OLEDB:Global Partial Bulk Ops=2;Jet OLEDB:Global Bulk Transactions=1");
}

QString TestDatabase::connectionText() const
{
    return fixedText() + QStringLiteral(";Data Source=") + m_path;
}

void TestDatabase::exec(const QString &sql) const
{
    char *err = nullptr;
    if (sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &err) != SQLITE_OK) {
        ADD_FAILURE() << "SQL failed: " << (err ? err : "") << " in " << sql.toStdString();
        sqlite3_free(err);
    }
}

QVariant TestDatabase::value(const QString &sql) const
{
    sqlite3_stmt *s = nullptr;
    QVariant v;
    if (sqlite3_prepare_v2(m_db, sql.toUtf8().constData(), -1, &s, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << "SQL failed: " << sqlite3_errmsg(m_db);
        return v;
    }
    if (sqlite3_step(s) == SQLITE_ROW) {
        switch (sqlite3_column_type(s, 0)) {
        case SQLITE_INTEGER: v = qint64(sqlite3_column_int64(s, 0)); break;
        case SQLITE_FLOAT: v = sqlite3_column_double(s, 0); break;
        case SQLITE_TEXT: v = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(s, 0))); break;
        default: break;
        }
    }
    sqlite3_finalize(s);
    return v;
}

QString TestDatabase::scalar(const QString &sql) const
{
    sqlite3_stmt *s = nullptr;
    QString text;
    if (sqlite3_prepare_v2(m_db, sql.toUtf8().constData(), -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW)
        text = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(s, 0)));
    sqlite3_finalize(s);
    return text;
}
