// bench_suite [BATCH-ROWS,...] [SCENARIO-ROWS] [FOLDER] [DATALINKFILE [PG-ROWS]]: scenario customers
// drawn from the shipped gazetteer, the open and fetch of the whole table, the batch run through
// the program's own loop (with the share of lookup, coordinate derivation and posting), posting
// with one commit each, and the set-based SQL update a user would write instead, for each batch
// size. With a data link file, the batch run and the same update on the first PG-ROWS records
// (default 100000) copied to that PostgreSQL server. Prints one table.

#include "PostgresScenario.h"
#include "TimedMap.h"

#include <StartupEnvironment.h>

#include <BatchGeocodeRun.h>
#include <BatchScope.h>
#include <Connection.h>
#include <CountryDataUnit.h>
#include <CustomerRecords.h>
#include <Gazetteer.h>
#include <HeadlessMapSite.h>
#include <KarteUnit.h>
#include <OleClassRegistry.h>
#include <RecordSet.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QRandomGenerator>

#include <sqlite3.h>

#include <cstdio>
#include <stdexcept>

namespace {

// The example table's columns, bound by role as the program and orvane-batch bind them.
ColumnMapping kundenColumns()
{
    ColumnMapping m;
    m[ColumnRole::Identifier] = QStringLiteral("KolmNummer");
    m[ColumnRole::Name] = QStringLiteral("Name1");
    m[ColumnRole::Country] = QStringLiteral("LandKennz");
    m[ColumnRole::Postcode] = QStringLiteral("Plz");
    m[ColumnRole::City] = QStringLiteral("Ort");
    m[ColumnRole::Street] = QStringLiteral("Strasse");
    m[ColumnRole::ControlGeocode] = QStringLiteral("MPControlGeocode");
    m[ColumnRole::StatusText] = QStringLiteral("MPStatus");
    m[ColumnRole::GeocodedOn] = QStringLiteral("MPAddress");
    m[ColumnRole::Latitude] = QStringLiteral("W2MP");
    m[ColumnRole::Longitude] = QStringLiteral("W1MP");
    return m;
}
const ColumnMapping KundenColumns = kundenColumns();
const TColumnMapping Mapping = TColumnMapping::Of(KundenColumns);

class Sqlite {
public:
    explicit Sqlite(const QString &file)
    {
        if (sqlite3_open(file.toUtf8().constData(), &m_db) != SQLITE_OK)
            throw std::runtime_error("cannot open " + file.toStdString());
    }
    ~Sqlite() { sqlite3_close(m_db); }
    void exec(const QString &sql)
    {
        char *error = nullptr;
        if (sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &error) != SQLITE_OK) {
            const std::string message = error ? error : "sqlite error";
            sqlite3_free(error);
            throw std::runtime_error(message + " in: " + sql.left(200).toStdString());
        }
    }
    sqlite3_stmt *prepare(const char *sql)
    {
        sqlite3_stmt *s = nullptr;
        if (sqlite3_prepare_v2(m_db, sql, -1, &s, nullptr) != SQLITE_OK)
            throw std::runtime_error(sqlite3_errmsg(m_db));
        return s;
    }
    qint64 changes() const { return sqlite3_changes64(m_db); }

private:
    sqlite3 *m_db = nullptr;
};

void bindText(sqlite3_stmt *s, int i, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    sqlite3_bind_text(s, i, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

// How users type what the gazetteer spells properly.
QString variation(const QString &city, QRandomGenerator &random)
{
    switch (random.bounded(10)) {
    case 0: return city.toUpper();
    case 1: return city.toLower();
    case 2: {
        QString ascii = city;
        ascii.replace(QStringLiteral("ü"), QStringLiteral("ue")).replace(QStringLiteral("ö"), QStringLiteral("oe"))
            .replace(QStringLiteral("ä"), QStringLiteral("ae")).replace(QStringLiteral("ß"), QStringLiteral("ss"));
        return ascii;
    }
    case 3: return QStringLiteral("  ") + city + QLatin1Char(' ');
    default: return city;
    }
}

// The customer table and the reference tables the SQL baseline joins against.
void generateScenario(const QString &file, int rows, const Engine::Gazetteer &gazetteer)
{
    QFile::remove(file);
    Sqlite db(file);
    db.exec(QStringLiteral(
        "CREATE TABLE kunden (Nr INTEGER NOT NULL, KolmNummer VARCHAR(30) NOT NULL PRIMARY KEY, Name1 VARCHAR(32),"
        " LandKennz VARCHAR(5), Plz VARCHAR(10), Ort VARCHAR(30), Strasse VARCHAR(80), MPControlGeocode BOOLEAN DEFAULT 0,"
        " MPStatus VARCHAR(50), MPAddress VARCHAR(50), W2MP DOUBLE, W1MP DOUBLE);"
        "CREATE TABLE countries (code TEXT, iso TEXT);"
        "CREATE TABLE postcodes (country TEXT, code TEXT, place TEXT, lat REAL, lon REAL);"
        "CREATE TABLE places (country TEXT, name TEXT, lname TEXT, lat REAL, lon REAL);"
        "BEGIN;"));

    TCountryData countries;
    QHash<QString, QString> codeOfIso;
    sqlite3_stmt *country = db.prepare("INSERT INTO countries VALUES (?, ?)");
    for (int i = 0; i < countries.Count(); ++i) {
        const RCountryData &row = countries.Row(i);
        if (row.IsoCode == QLatin1String("US") || row.IsoCode == QLatin1String("CA"))
            continue;   // the European edition only
        codeOfIso.insert(row.IsoCode, row.Code);
        bindText(country, 1, row.Code);
        bindText(country, 2, row.IsoCode);
        sqlite3_step(country);
        sqlite3_reset(country);
    }
    sqlite3_finalize(country);

    QHash<QString, QStringList> postcodesOfPlace;
    sqlite3_stmt *postcode = db.prepare("INSERT INTO postcodes VALUES (?, ?, ?, ?, ?)");
    for (const Engine::PostcodeRecord &p : gazetteer.postcodes()) {
        if (!codeOfIso.contains(p.country))
            continue;
        postcodesOfPlace[p.country + QLatin1Char('|') + p.place] << p.code;
        bindText(postcode, 1, p.country);
        bindText(postcode, 2, p.code);
        bindText(postcode, 3, p.place);
        sqlite3_bind_double(postcode, 4, p.latitude);
        sqlite3_bind_double(postcode, 5, p.longitude);
        sqlite3_step(postcode);
        sqlite3_reset(postcode);
    }
    sqlite3_finalize(postcode);

    std::vector<Engine::PlaceRecord> places;
    sqlite3_stmt *place = db.prepare("INSERT INTO places VALUES (?, ?, ?, ?, ?)");
    for (const Engine::PlaceRecord &p : gazetteer.places()) {
        if (!codeOfIso.contains(p.country))
            continue;
        places.push_back(p);
        bindText(place, 1, p.country);
        bindText(place, 2, p.name);
        bindText(place, 3, p.name.toLower());
        sqlite3_bind_double(place, 4, p.latitude);
        sqlite3_bind_double(place, 5, p.longitude);
        sqlite3_step(place);
        sqlite3_reset(place);
    }
    sqlite3_finalize(place);
    if (places.empty())
        throw std::runtime_error("the gazetteer has no places of the European edition");

    QRandomGenerator random(1234);
    sqlite3_stmt *customer = db.prepare(
        "INSERT INTO kunden (Nr, KolmNummer, Name1, LandKennz, Plz, Ort, Strasse) VALUES (?, ?, ?, ?, ?, ?, '')");
    for (int i = 1; i <= rows; ++i) {
        const Engine::PlaceRecord &p = places[random.bounded(quint32(places.size()))];
        const QStringList codes = postcodesOfPlace.value(p.country + QLatin1Char('|') + p.name);
        const QString code = !codes.isEmpty() && random.bounded(5) != 0 ? codes[random.bounded(codes.size())] : QString();
        sqlite3_bind_int(customer, 1, i);
        bindText(customer, 2, QStringLiteral("C%1").arg(i, 8, 10, QLatin1Char('0')));
        bindText(customer, 3, QStringLiteral("Customer %1").arg(i));
        bindText(customer, 4, codeOfIso.value(p.country));
        bindText(customer, 5, code);
        bindText(customer, 6, variation(p.name, random).left(30));
        if (sqlite3_step(customer) != SQLITE_DONE)
            throw std::runtime_error("cannot insert a scenario record");
        sqlite3_reset(customer);
    }
    sqlite3_finalize(customer);
    db.exec(QStringLiteral("COMMIT;"
                           "CREATE INDEX postcodes_key ON postcodes (country, code);"
                           "CREATE INDEX places_key ON places (country, lname);"
                           "CREATE INDEX countries_key ON countries (code);"));
}

class SilentView : public IBatchRunView {
public:
    void Open() override {}
    void SetRange(int min, int max) override
    {
        if (max < min)
            throw std::runtime_error("no records");
    }
    void SetPosition(int) override {}
    void ShowRecordNumber(int) override {}
    void ShowSummary(int, int) override {}
    void Close() noexcept override {}
};

qint64 peakResidentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    return 0;
}

// Posts the record set's current values back, as the run writes them: the posting cost alone.
double postAll(RecordSet &records, int limit)
{
    QElapsedTimer t;
    t.start();
    int done = 0;
    for (records.first(); !records.eof() && done < limit; records.next(), ++done) {
        records.edit();
        records.fieldByName(Mapping.Longitude).setAsFloat(records.fieldByName(Mapping.Longitude).asFloat());
        records.fieldByName(Mapping.Latitude).setAsFloat(records.fieldByName(Mapping.Latitude).asFloat());
        records.fieldByName(Mapping.StatusText).setAsString(records.fieldByName(Mapping.StatusText).asString());
        records.fieldByName(Mapping.GeocodedOn).setAsString(records.fieldByName(Mapping.GeocodedOn).asString());
        records.fieldByName(Mapping.ControlGeocode).setAsBoolean(records.fieldByName(Mapping.ControlGeocode).asBoolean());
        records.post();
    }
    return t.nsecsElapsed() / 1e9;
}

void row(const QByteArray &what, const QString &figure)
{
    std::printf("| %-58s | %24s |\n", what.constData(), qPrintable(figure));
}

QString perSecond(double count, double seconds)
{
    return QString::number(qint64(count / seconds)) + QStringLiteral(" /s");
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QList<int> batchSizes;
    for (const QString &n : args.value(1, QStringLiteral("100000,1000000")).split(u','))
        batchSizes.append(n.toInt());
    const int scenarioRows = args.value(2, QStringLiteral("1000000")).toInt();
    const QString folder = args.value(3, QDir::tempPath());
    const QString scenario = folder + QStringLiteral("/orvane-scenario-%1.sqlite").arg(scenarioRows);
    const QString runFile = folder + QStringLiteral("/orvane-scenario-run.sqlite");

    try {
        QElapsedTimer t;
        t.start();
        const auto gazetteer = Engine::Gazetteer::open({GazetteerFilesFromEnvironment().shipped});
        const double gazetteerSeconds = t.nsecsElapsed() / 1e9;
        t.restart();
        generateScenario(scenario, scenarioRows, *gazetteer);
        const double generateSeconds = t.nsecsElapsed() / 1e9;

        std::shared_ptr<TimedMap> timed;
        OleClassRegistry::instance().registerClass("Orvane.Bench.Suite", [gazetteer, &timed] {
            timed = std::make_shared<TimedMap>(std::make_shared<EngineMap>(Engine::Edition::Europe, gazetteer, QString()));
            return std::shared_ptr<OleObject>(timed);
        });
        // As orvane-batch makes its map: no container, no view.
        THeadlessMapSite site;
        KartenModul().CreateMap(site, QStringLiteral("Orvane.Bench.Suite"));

        // The whole table with the eleven slots, as the program opens it.
        double openSeconds = 0;
        qint64 openRecords = 0;
        {
            Connection connection;
            connection.setConnectionText(TCustomerRecords::ConnectionText(scenario));
            connection.open();
            RecordSet all;
            all.setConnection(&connection);
            TCustomerRecords::AddFieldSlots(all);
            TCustomerRecords::BindColumns(all, KundenColumns);
            t.restart();
            TCustomerRecords::OpenTable(all, QStringLiteral("kunden"));
            openSeconds = t.nsecsElapsed() / 1e9;
            openRecords = all.recordCount();
        }
        const qint64 openPeakKb = peakResidentKb();

        std::printf("| %-58s | %24s |\n|%s|%s|\n", "measure", "figure", QByteArray(60, '-').constData(),
                    QByteArray(26, '-').constData());
        row("gazetteer load (shipped file)", QStringLiteral("%1 s").arg(gazetteerSeconds, 0, 'f', 2));
        row("scenario generation", QStringLiteral("%1 rows in %2 s").arg(scenarioRows).arg(generateSeconds, 0, 'f', 1));
        row("open + fetch, eleven slots", QStringLiteral("%1 rows in %2 s").arg(openRecords).arg(openSeconds, 0, 'f', 2));
        row("peak resident memory after the open", QStringLiteral("%1 MB").arg(openPeakKb / 1024));
        std::fflush(stdout);

        // Each size runs on its own copy of the untouched records, so no run finds another's results.
        for (const int batchRows : batchSizes) {
            QFile::remove(runFile);
            if (!QFile::copy(scenario, runFile))
                throw std::runtime_error("cannot copy the scenario file to " + runFile.toStdString());
            Connection connection;
            connection.setConnectionText(TCustomerRecords::ConnectionText(runFile));
            connection.open();
            RecordSet records;
            records.setConnection(&connection);
            TCustomerRecords::AddFieldSlots(records);
            TCustomerRecords::BindColumns(records, KundenColumns);
            TCustomerRecords::OpenQuery(records, QStringLiteral("select * from kunden where Nr <= %1").arg(batchRows));

            timed->lookupNs = 0;
            timed->coordinateNs = 0;
            SilentView view;
            t.restart();
            const TBatchCounts counts = TBatchGeocodeRun::Run(records, Mapping, view);
            const double batchSeconds = t.nsecsElapsed() / 1e9;
            const double lookupSeconds = timed->lookupNs / 1e9;
            const double coordinateSeconds = timed->coordinateNs / 1e9;
            double postSeconds = 0;
            {
                BatchScope batch(connection);
                postSeconds = postAll(records, batchRows);
            }
            const int singleRows = std::min(batchRows, 2000);
            const double singleSeconds = postAll(records, singleRows);

            // What a user would write instead: postcode matches first, then city names.
            Sqlite db(runFile);
            t.restart();
            db.exec(QStringLiteral("BEGIN"));
            db.exec(QStringLiteral(
                "UPDATE kunden SET W2MP = p.lat, W1MP = p.lon, MPStatus = 'Postcode', MPAddress = p.code || ' ' || p.place,"
                " MPControlGeocode = 0 FROM countries c JOIN postcodes p ON p.country = c.iso"
                " WHERE kunden.Nr <= %1 AND c.code = kunden.LandKennz AND p.code = kunden.Plz").arg(batchRows));
            const qint64 byPostcode = db.changes();
            db.exec(QStringLiteral(
                "UPDATE kunden SET W2MP = p.lat, W1MP = p.lon, MPStatus = 'City', MPAddress = p.name, MPControlGeocode = 0"
                " FROM countries c JOIN places p ON p.country = c.iso"
                " WHERE kunden.Nr <= %1 AND coalesce(kunden.Plz, '') = '' AND c.code = kunden.LandKennz"
                " AND p.lname = lower(trim(kunden.Ort))").arg(batchRows));
            const qint64 byCity = db.changes();
            db.exec(QStringLiteral("COMMIT"));
            const double baselineSeconds = t.nsecsElapsed() / 1e9;

            const QByteArray n = QByteArray::number(batchRows);
            const auto label = [&n](const char *what) { return QByteArray(what).replace("%n", n); };
            row(label("batch run over %n records, found"), QString::number(counts.Geocoded));
            row(label("batch run over %n records"), perSecond(counts.Visited, batchSeconds));
            row("  share in engine lookup", QStringLiteral("%1 %").arg(100 * lookupSeconds / batchSeconds, 0, 'f', 1));
            row("  share in coordinate derivation", QStringLiteral("%1 %").arg(100 * coordinateSeconds / batchSeconds, 0, 'f', 1));
            row("  share in posting (batch scope)", QStringLiteral("%1 %").arg(100 * postSeconds / batchSeconds, 0, 'f', 1));
            row(label("posting alone, batch scope, %n records"), perSecond(counts.Visited, postSeconds));
            row("posting alone, every post committed on its own", perSecond(singleRows, singleSeconds));
            row(label("SQL UPDATE ... FROM baseline, %n records, matched"),
                QStringLiteral("%1 + %2").arg(byPostcode).arg(byCity));
            row(label("SQL UPDATE ... FROM baseline, %n records"), perSecond(counts.Visited, baselineSeconds));
            row(label("batch run / baseline, %n records"), QStringLiteral("%1 x").arg(baselineSeconds / batchSeconds, 0, 'f', 2));
            std::fflush(stdout);
        }
        QFile::remove(runFile);

        if (args.size() > 4) {
            const int pgRows = args.value(5, QStringLiteral("100000")).toInt();
            PostgresScenario server(args[4]);
            server.load(scenario, pgRows);
            Connection connection;
            connection.setConnectionText(TCustomerRecords::ConnectionText(args[4]));
            connection.open();
            RecordSet records;
            records.setConnection(&connection);
            TCustomerRecords::AddFieldSlots(records);
            TCustomerRecords::BindColumns(records, KundenColumns);
            TCustomerRecords::OpenQuery(records, QStringLiteral("select * from kunden order by \"Nr\""));
            SilentView view;
            t.restart();
            const TBatchCounts counts = TBatchGeocodeRun::Run(records, Mapping, view);
            const double batchSeconds = t.nsecsElapsed() / 1e9;
            t.restart();
            const auto [byPostcode, byCity] = server.updateSetBased();
            const double baselineSeconds = t.nsecsElapsed() / 1e9;

            const QByteArray n = QByteArray::number(pgRows);
            const auto label = [&n](const char *what) { return QByteArray(what).replace("%n", n); };
            row(label("PostgreSQL: batch run over %n records, found"), QString::number(counts.Geocoded));
            row(label("PostgreSQL: batch run over %n records"), perSecond(counts.Visited, batchSeconds));
            row(label("PostgreSQL: SQL UPDATE ... FROM baseline, matched"), QStringLiteral("%1 + %2").arg(byPostcode).arg(byCity));
            row(label("PostgreSQL: SQL UPDATE ... FROM baseline, %n records"), perSecond(counts.Visited, baselineSeconds));
            row(label("PostgreSQL: batch run / baseline, %n records"),
                QStringLiteral("%1 x").arg(baselineSeconds / batchSeconds, 0, 'f', 2));
        }
    } catch (const std::exception &e) {
        std::fprintf(stderr, "bench_suite: %s\n", e.what());
        return 1;
    }
    return 0;
}
