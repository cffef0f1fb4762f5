#include "PostgresScenario.h"

#include <PostgresAdmin.h>

#include <sqlite3.h>

namespace {

// One value in COPY's text format.
void appendCopyText(QByteArray &line, const unsigned char *text)
{
    if (!text) {
        line += "\\N";
        return;
    }
    for (const unsigned char *c = text; *c; ++c) {
        switch (*c) {
        case '\\': line += "\\\\"; break;
        case '\t': line += "\\t"; break;
        case '\n': line += "\\n"; break;
        case '\r': line += "\\r"; break;
        default: line += char(*c);
        }
    }
}

} // namespace

PostgresScenario::PostgresScenario(const QString &dataLinkFile) : m_conn(connectTo(dataLinkFile))
{
    if (!m_conn || PQstatus(m_conn) != CONNECTION_OK) {
        const std::string why = m_conn ? PQerrorMessage(m_conn) : "the data link file cannot be read";
        PQfinish(m_conn);
        throw std::runtime_error("cannot connect to the PostgreSQL server: " + why);
    }
}

PostgresScenario::~PostgresScenario()
{
    PQfinish(m_conn);
}

// The program's column names keep their case, as in the SQLite file.
void PostgresScenario::load(const QString &scenarioFile, int rows)
{
    exec(m_conn, "SET client_min_messages = warning");
    exec(m_conn, "DROP TABLE IF EXISTS kunden, countries, postcodes, places");
    exec(m_conn,
         "CREATE TABLE kunden (\"Nr\" integer NOT NULL, \"KolmNummer\" varchar(30) PRIMARY KEY, \"Name1\" varchar(32),"
         " \"LandKennz\" varchar(5), \"Plz\" varchar(10), \"Ort\" varchar(30), \"Strasse\" varchar(80),"
         " \"MPControlGeocode\" boolean DEFAULT false, \"MPStatus\" varchar(50), \"MPAddress\" varchar(50),"
         " \"W2MP\" double precision, \"W1MP\" double precision);"
         "CREATE TABLE countries (code text, iso text);"
         "CREATE TABLE postcodes (country text, code text, place text, lat double precision, lon double precision);"
         "CREATE TABLE places (country text, name text, lname text, lat double precision, lon double precision)");
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(scenarioFile.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        throw std::runtime_error("cannot open " + scenarioFile.toStdString());
    }
    try {
        const QByteArray customers = "SELECT Nr, KolmNummer, Name1, LandKennz, Plz, Ort, Strasse, MPControlGeocode, "
                                     "MPStatus, MPAddress, W2MP, W1MP FROM kunden WHERE Nr <= "
                                   + QByteArray::number(rows);
        copy(db, customers.constData(), "kunden");
        copy(db, "SELECT code, iso FROM countries", "countries");
        copy(db, "SELECT country, code, place, lat, lon FROM postcodes", "postcodes");
        copy(db, "SELECT country, name, lname, lat, lon FROM places", "places");
    } catch (...) {
        sqlite3_close(db);
        throw;
    }
    sqlite3_close(db);
    exec(m_conn, "CREATE INDEX postcodes_key ON postcodes (country, code);"
                 "CREATE INDEX places_key ON places (country, lname);"
                 "CREATE INDEX countries_key ON countries (code);"
                 "ANALYZE");
}

void PostgresScenario::copy(sqlite3 *from, const char *select, const char *table)
{
    sqlite3_stmt *s = nullptr;
    if (sqlite3_prepare_v2(from, select, -1, &s, nullptr) != SQLITE_OK)
        throw std::runtime_error(std::string(sqlite3_errmsg(from)) + " in: " + select);
    PGresult *start = PQexec(m_conn, (QByteArray("COPY ") + table + " FROM STDIN").constData());
    const bool copying = PQresultStatus(start) == PGRES_COPY_IN;
    PQclear(start);
    if (!copying) {
        sqlite3_finalize(s);
        throw std::runtime_error(std::string("cannot copy into ") + table + ": " + PQerrorMessage(m_conn));
    }
    QByteArray line;
    bool sent = true;
    while (sent && sqlite3_step(s) == SQLITE_ROW) {
        line.clear();
        for (int c = 0; c < sqlite3_column_count(s); ++c) {
            if (c > 0)
                line += '\t';
            appendCopyText(line, sqlite3_column_text(s, c));
        }
        line += '\n';
        sent = PQputCopyData(m_conn, line.constData(), int(line.size())) == 1;
    }
    sqlite3_finalize(s);
    PQputCopyEnd(m_conn, sent ? nullptr : "the scenario could not be read");
    PGresult *end = PQgetResult(m_conn);
    const bool copied = PQresultStatus(end) == PGRES_COMMAND_OK;
    PQclear(end);
    while (PGresult *r = PQgetResult(m_conn))
        PQclear(r);
    if (!copied)
        throw std::runtime_error(std::string("copying into ") + table + " failed: " + PQerrorMessage(m_conn));
}

std::pair<qint64, qint64> PostgresScenario::updateSetBased()
{
    exec(m_conn, "BEGIN");
    const qint64 byPostcode = exec(m_conn,
        "UPDATE kunden SET \"W2MP\" = p.lat, \"W1MP\" = p.lon, \"MPStatus\" = 'Postcode',"
        " \"MPAddress\" = p.code || ' ' || p.place, \"MPControlGeocode\" = false"
        " FROM countries c JOIN postcodes p ON p.country = c.iso"
        " WHERE c.code = kunden.\"LandKennz\" AND p.code = kunden.\"Plz\"");
    const qint64 byCity = exec(m_conn,
        "UPDATE kunden SET \"W2MP\" = p.lat, \"W1MP\" = p.lon, \"MPStatus\" = 'City', \"MPAddress\" = p.name,"
        " \"MPControlGeocode\" = false FROM countries c JOIN places p ON p.country = c.iso"
        " WHERE coalesce(kunden.\"Plz\", '') = '' AND c.code = kunden.\"LandKennz\""
        " AND p.lname = lower(trim(kunden.\"Ort\"))");
    exec(m_conn, "COMMIT");
    return {byPostcode, byCity};
}
