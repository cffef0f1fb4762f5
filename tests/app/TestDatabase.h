#pragma once

#include <QString>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <gtest/gtest.h>

// A SQLite database in a temporary folder, made from SQL text.
class TestDatabase {
public:
    explicit TestDatabase(const char *sql, const QString &name = QStringLiteral("customers.sqlite"))
        : m_path(m_dir.filePath(name))
    {
        sqlite3 *db = nullptr;
        EXPECT_EQ(sqlite3_open(m_path.toUtf8().constData(), &db), SQLITE_OK);
        char *error = nullptr;
        EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
        sqlite3_free(error);
        sqlite3_close(db);
    }

    QString path() const { return m_path; }

    // Runs SQL on a connection of its own, beside the program's.
    void exec(const char *sql) const
    {
        sqlite3 *db = nullptr;
        ASSERT_EQ(sqlite3_open(m_path.toUtf8().constData(), &db), SQLITE_OK);
        char *error = nullptr;
        EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
        sqlite3_free(error);
        sqlite3_close(db);
    }
    QString folder() const { return m_dir.path(); }

    // The first column of the first row of a query, as text.
    QString scalar(const char *sql) const
    {
        sqlite3 *db = nullptr;
        sqlite3_open_v2(m_path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt *stmt = nullptr;
        QString result;
        if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW)
            result = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)));
        sqlite3_finalize(stmt);
        sqlite3_close(db);
        return result;
    }

private:
    QTemporaryDir m_dir;
    QString m_path;
};

// Customers under their usual column names, plus a table with other names and one without text.
inline const char *const CustomersSql = R"sql(
CREATE TABLE kunden (
  KolmNummer VARCHAR(30) PRIMARY KEY, Name1 VARCHAR(32), LandKennz VARCHAR(5), Plz VARCHAR(10),
  Ort VARCHAR(30), Strasse VARCHAR(80), MPControlGeocode BOOLEAN, MPStatus VARCHAR(50),
  MPAddress VARCHAR(50), W2MP DOUBLE, W1MP DOUBLE, Nummer INTEGER, Angelegt DATE);
INSERT INTO kunden VALUES ('K1', 'Huber', 'D', '80331', 'München', 'Marienplatz 1', 1, 'City',
  'München', 48.137, 11.575, 1, '2020-01-01');
INSERT INTO kunden VALUES ('K2', 'Meier', 'A', '1010', 'Wien', 'Stephansplatz 1', 0, NULL, NULL,
  0.5, -0.5, 2, NULL);
INSERT INTO kunden VALUES ('K3', 'Leer', 'D', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, 3, NULL);
CREATE TABLE customers (
  id TEXT PRIMARY KEY, name TEXT, country TEXT, zip TEXT, town TEXT, street TEXT,
  needs_check BOOLEAN, geo_status TEXT, geo_address TEXT, lat REAL, lon REAL);
INSERT INTO customers VALUES ('C1', 'Smith', 'USA', '02134', 'Boston', '1 Main St', 0, NULL, NULL, 0, 0);
CREATE TABLE numbers (n INTEGER, x DOUBLE, flag BOOLEAN);
)sql";
