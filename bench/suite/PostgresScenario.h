#pragma once

#include <QString>
#include <utility>

struct pg_conn;
struct sqlite3;

// The scenario's first records on a PostgreSQL server, for the batch run there beside the same
// set-based SQL update. Replaces the tables kunden, countries, postcodes and places of the
// database the data link file names.
class PostgresScenario
{
public:
    explicit PostgresScenario(const QString &dataLinkFile);   // throws std::runtime_error
    ~PostgresScenario();
    PostgresScenario(const PostgresScenario &) = delete;
    PostgresScenario &operator=(const PostgresScenario &) = delete;

    void load(const QString &scenarioFile, int rows);
    // Postcode matches first, then city names, in one transaction; the rows each matched.
    std::pair<qint64, qint64> updateSetBased();

private:
    void copy(sqlite3 *from, const char *select, const char *table);

    pg_conn *m_conn;
};
