// Posts per second against a PostgreSQL server, one by one and in a batch scope, beside the
// set-based UPDATE ... FROM a user would write for the same rows.
//   bench_data_postgres DATALINKFILE [ROWS]
// DATALINKFILE holds a connection text (scripts/pg-test-server start DIR writes DIR/orvane-test.udl).
// The tables kunden and postcodes of that database are replaced.
#include "CustomerSlots.h"
#include "PostgresAdmin.h"
#include <BatchScope.h>
#include <Connection.h>
#include <DataError.h>
#include <Field.h>
#include <RecordSet.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <optional>

namespace {

const char *const fixedText =
    "Provider=Microsoft.Jet.OLEDB.4.0;Password=\"\";User ID=Admin;Mode=Share Deny None;"
    "Jet OLEDB:Database Password=\"\";Jet OLEDB:Engine Type=5;Jet OLEDB:Database Locking Mode=1;"
    "Jet OLEDB:Global Partial Bulk Ops=2;Jet OLEDB:Global Bulk Transactions=1;Data Source=";

// Customers spread over 1000 postcodes, each postcode known with its place and position.
void build(PGconn *c, int rows)
{
    exec(c, "SET client_min_messages = warning");
    exec(c, "DROP TABLE IF EXISTS kunden; DROP TABLE IF EXISTS postcodes");
    exec(c, "CREATE TABLE kunden (KolmNummer varchar(30) PRIMARY KEY, Name1 varchar(32), LandKennz varchar(5), "
            "Plz varchar(10), Ort varchar(30), Strasse varchar(80), MPControlGeocode boolean, MPStatus varchar(50), "
            "MPAddress varchar(50), W2MP double precision, W1MP double precision)");
    exec(c, "CREATE TABLE postcodes (code varchar(10) PRIMARY KEY, place varchar(30), lat double precision, lon double precision)");
    exec(c, "INSERT INTO postcodes SELECT lpad(i::text, 5, '0'), 'Place ' || i, 47 + i * 0.007, 6 + i * 0.009 "
            "FROM generate_series(1, 1000) i");
    const QByteArray fill = "INSERT INTO kunden SELECT 'K' || lpad(i::text, 8, '0'), 'Customer ' || i, 'D', "
                            "lpad((1 + i % 1000)::text, 5, '0'), 'Place ' || (1 + i % 1000), 'Street ' || i, false, "
                            "'', '', 0, 0 FROM generate_series(1, " + QByteArray::number(rows) + ") i";
    exec(c, fill.constData());
    exec(c, "ANALYZE kunden; ANALYZE postcodes");
}

// The writes of the program's batch run for each record: five result columns, one post.
double postRun(const QString &udl, int posts, bool batch, bool resync)
{
    Connection c;
    c.setConnectionText(QString::fromLatin1(fixedText) + udl);
    c.open();
    RecordSet rs;
    rs.setConnection(&c);
    addCustomerSlots(rs, true);
    rs.setCommandText(QStringLiteral("select * from kunden"));
    rs.open();
    rs.setProviderOption(QStringLiteral("Update Criteria"), 0);
    rs.setProviderOption(QStringLiteral("Update Resync"), resync ? 15 : 0);
    QElapsedTimer t;
    t.start();
    {
        std::optional<BatchScope> scope;
        if (batch)
            scope.emplace(c);
        rs.first();
        for (int i = 0; i < posts && !rs.eof(); ++i, rs.next()) {
            rs.edit();
            rs.fieldByName(QStringLiteral("w1mp")).setAsFloat(6.0 + i * 1e-6);
            rs.fieldByName(QStringLiteral("w2mp")).setAsFloat(50.0 + i * 1e-6);
            rs.fieldByName(QStringLiteral("mpstatus")).setAsString(QStringLiteral("City"));
            rs.fieldByName(QStringLiteral("mpaddress")).setAsString(QStringLiteral("Place %1").arg(i));
            rs.fieldByName(QStringLiteral("mpcontrolgeocode")).setAsBoolean(i % 7 == 0);
            rs.post();
        }
        if (scope)
            scope->commit();
    }
    return posts / (t.nsecsElapsed() / 1e9);
}

double baseline(PGconn *c, int rows)
{
    QElapsedTimer t;
    t.start();
    exec(c, "UPDATE kunden SET W2MP = p.lat, W1MP = p.lon, MPStatus = 'Postcode', MPAddress = p.code || ' ' || p.place, "
            "MPControlGeocode = false FROM postcodes p WHERE kunden.Plz = p.code");
    return rows / (t.nsecsElapsed() / 1e9);
}

// The machine is shared: the best of three runs is the figure least disturbed by others, and the
// batch runs alternate with the baseline so that a slow moment weighs on both alike.
struct Best
{
    double value = 0;
    void add(double v) { value = std::max(value, v); }
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s DATALINKFILE [ROWS]\n", argv[0]);
        return 2;
    }
    const QString udl = QString::fromLocal8Bit(argv[1]);
    const int rows = argc > 2 ? std::atoi(argv[2]) : 20000;
    PGconn *admin = connectTo(udl);
    if (!admin || PQstatus(admin) != CONNECTION_OK) {
        std::fprintf(stderr, "cannot connect: %s", admin ? PQerrorMessage(admin) : "no data link file\n");
        return 1;
    }
    Best single, batch, batchNoReread, setBased;
    try {
        build(admin, rows);
        for (int round = 0; round < 3; ++round) {
            single.add(postRun(udl, std::min(rows, 5000), false, true));
            batch.add(postRun(udl, rows, true, true));
            batchNoReread.add(postRun(udl, rows, true, false));
            setBased.add(baseline(admin, rows));
        }
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    std::printf("%-52s %12.0f %12s\n", "posts one by one, re-read (program's options)", single.value, "posts/s");
    std::printf("%-52s %12.0f %12s\n", "posts in a batch scope, re-read (program's options)", batch.value, "posts/s");
    std::printf("%-52s %12.0f %12s\n", "posts in a batch scope, no re-read", batchNoReread.value, "posts/s");
    std::printf("%-52s %12.0f %12s\n", "set-based UPDATE ... FROM postcodes (baseline)", setBased.value, "rows/s");
    PQfinish(admin);
    return 0;
}
