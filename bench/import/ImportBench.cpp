// bench_import [OBJECTS] [FOLDER] [--keep | --batch | --lookups]: writes an OpenStreetMap extract of at least OBJECTS
// objects (default 1,000,000) as .osm.pbf - towns at the shipped gazetteer's German places, each a
// named street grid (common names and a long tail of others) whose streets are made of two ways,
// lined with buildings that carry their address (some without postcode or city, some as an
// address node of their own instead) and a
// place node with its postcode, about the mix of a country extract (130 million objects make
// about 20 million addresses and 3.5 million street ways, Germany's size) - then reads it with
// libosmium and an empty handler, imports it with orvane-gazetteer, opens the result as the
// program does, and geocodes street addresses of the extract. Prints table rows. --keep leaves
// the extract, the gazetteer and the customer table in FOLDER and prints their paths; --batch
// measures only orvane-batch against the set-based update, and --lookups only the lookups, over
// what --keep left in FOLDER for the same OBJECTS.

#include "Gazetteer.h"
#include "Geocoder.h"
#include "StartupEnvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <osmium/builder/attr.hpp>
#include <osmium/handler.hpp>
#include <osmium/io/pbf_input.hpp>
#include <osmium/io/pbf_output.hpp>
#include <osmium/io/reader.hpp>
#include <osmium/io/writer.hpp>
#include <osmium/visitor.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Grid lines per town: Side x Side crossings, 2 x Side streets of two ways each, Side x (Side - 1)
// buildings of four corners each.
constexpr int Side = 24;
constexpr int Buildings = Side * (Side - 1);
constexpr double Spacing = 0.0009;   // about 100 m between crossings
// A building's corners: share of the way to the next crossing, degrees north of the street.
constexpr std::pair<double, double> Corners[] = {{0.3, 0.0001}, {0.7, 0.0001}, {0.7, 0.0003}, {0.3, 0.0003}};
const char *const StreetNames[] = {
    "Hauptstraße", "Schulstraße", "Gartenstraße", "Bahnhofstraße", "Dorfstraße", "Bergstraße", "Birkenweg",
    "Lindenstraße", "Kirchstraße", "Waldstraße", "Ringstraße", "Schillerstraße", "Goethestraße", "Wiesenweg",
    "Amselweg", "Jahnstraße", "Buchenweg", "Mühlenweg", "Am Sportplatz", "Rosenstraße", "Eichenweg",
    "Feldstraße", "Industriestraße", "Mozartstraße", "Ahornweg", "Talstraße", "Friedhofstraße", "Lessingstraße",
    "Poststraße", "Kirchweg", "Blumenstraße", "Tannenweg", "Finkenweg", "Parkstraße", "Brunnenstraße",
    "Uhlandstraße", "Beethovenstraße", "Drosselweg", "Meisenweg", "Heinestraße", "Kastanienweg",
    "Marktplatz", "Mittelstraße", "Neue Straße", "Schloßstraße", "Steinweg", "Sonnenstraße", "Erlenweg",
    "Fliederweg", "Im Winkel", "Am Bach", "Kiefernweg", "Grüner Weg", "Bachstraße", "Weidenweg",
    "Rathausstraße", "Wilhelmstraße", "Kantstraße", "Kolpingstraße", "Tulpenweg", "Schwalbenweg",
    "Lerchenweg", "Am Markt", "Nordstraße", "Südstraße", "Oststraße", "Weststraße", "Mühlstraße",
    "Hirtenweg", "Brückenstraße", "Kapellenweg", "Lindenallee", "Am Anger", "Hohe Straße", "Burgstraße",
    "Raiffeisenstraße", "Kreuzstraße", "Obere Straße", "Untere Straße", "Friedrichstraße", "Luisenstraße",
    "Karlstraße", "Ludwigstraße", "Am Hang", "Forstweg", "Sandweg", "Hofweg", "Gerberstraße", "Turmstraße",
};
constexpr int StreetNameCount = int(std::size(StreetNames));
// The long tail of a country's street names: people, trees, places and trades before a kind of way.
const char *const NameParts[] = {
    "Ahorn", "Akazien", "Amsel", "Anger", "Apfel", "Bach", "Bären", "Berg", "Birken", "Blumen", "Brücken", "Brunnen", "Buchen",
    "Burg", "Dahlien", "Distel", "Dürer", "Eichen", "Eichendorff", "Elster", "Erlen", "Eschen", "Falken", "Feld", "Fichten",
    "Fischer", "Flieder", "Fontane", "Forst", "Fröbel", "Fuchs", "Garten", "Gerber", "Ginster", "Goethe", "Graben", "Grimm",
    "Hafer", "Hagen", "Hain", "Hasel", "Hebel", "Heide", "Heine", "Herder", "Hirsch", "Hof", "Holunder", "Hopfen", "Humboldt",
    "Iris", "Jäger", "Kant", "Kapellen", "Kastanien", "Kepler", "Kiefern", "Kirsch", "Kleist", "Kloster", "Kolping", "Krähen",
    "Kreuz", "Lärchen", "Lerchen", "Lessing", "Linden", "Löns", "Luther", "Markt", "Meisen", "Mühlen", "Mozart", "Nelken",
    "Nuss", "Obstgarten", "Pappel", "Park", "Pfarr", "Quellen", "Raben", "Rain", "Rathaus", "Reben", "Rosen", "Rosmarin",
    "Salbei", "Sand", "Schiller", "Schlehen", "Schmiede", "Schwalben", "See", "Sonnen", "Specht", "Stein", "Storchen",
    "Tannen", "Tulpen", "Uhland", "Ulmen", "Veilchen", "Wachtel", "Wald", "Weiden", "Weinberg", "Wiesen", "Zeppelin"};
const char *const WayKinds[] = {"straße", "weg", "gasse", "allee", "ring", "steig", "pfad", "platz"};

struct Town {
    std::string name, postcode;
    double lat, lon;
    qint64 population;
};

std::vector<Town> townsFor(const Engine::Gazetteer &gazetteer, int count)
{
    std::vector<Engine::PlaceRecord> german;
    for (const Engine::PlaceRecord &p : gazetteer.places())
        if (p.country == u"DE")
            german.push_back(p);
    if (german.empty())
        throw std::runtime_error("the shipped gazetteer has no German places to put the towns at");
    std::stable_sort(german.begin(), german.end(), [](const auto &a, const auto &b) { return a.population > b.population; });
    std::vector<Town> towns;
    for (int t = 0; t < count; ++t) {
        // More towns than places: the same place again, a few kilometres further east.
        const Engine::PlaceRecord &p = german[size_t(t) % german.size()];
        const int round = t / int(german.size());
        char postcode[6];
        std::snprintf(postcode, sizeof postcode, "%05d", 1000 + (t * 97) % 89999);
        towns.push_back({round ? p.name.toStdString() + " " + std::to_string(round + 1) : p.name.toStdString(),
                         postcode, p.latitude, p.longitude + 0.05 * round, p.population});
    }
    return towns;
}

// What each building holds, by (row * 31 + column) % 20: most carry the full address, some leave
// out the postcode or the city, some are drawn without tags beside an address node.
enum class Building { Full, NoPostcode, NoCity, Node, Bare };
constexpr Building buildingKind(int row, int column)
{
    const int k = (row * 31 + column) % 20;
    return k < 11 ? Building::Full : k < 14 ? Building::NoPostcode : k < 16 ? Building::NoCity : k < 19 ? Building::Node : Building::Bare;
}

constexpr qint64 NodeAddressesPerTown = [] {
    qint64 n = 0;
    for (int r = 0; r < Side; ++r)
        for (int c = 0; c + 1 < Side; ++c)
            n += buildingKind(r, c) == Building::Node;
    return n;
}();
constexpr qint64 NodesPerTown = 1 + Side * Side + 4 * Buildings + NodeAddressesPerTown;
constexpr qint64 WaysPerTown = 4 * Side + Buildings;
constexpr qint64 AddressesPerTown = [] {
    qint64 n = 0;
    for (int r = 0; r < Side; ++r)
        for (int c = 0; c + 1 < Side; ++c)
            n += buildingKind(r, c) != Building::Bare;
    return n;
}();

// A country's extract holds about one node id in 30 of the world's (Germany: some 430 million
// nodes below id 12.5 billion), so its node ids lie far apart, as here.
constexpr osmium::object_id_type NodeIdStride = 30;

osmium::object_id_type spread(osmium::object_id_type node)
{
    return node * NodeIdStride;
}

osmium::object_id_type crossing(int town, int row, int column)
{
    return 1 + town * NodesPerTown + 1 + row * Side + column;
}

// One street in four carries one of the common names that every other village has; the others
// a name of the long tail.
std::string streetName(int town, int street)
{
    const int n = town * 7 + street * 13;
    if (street % 4 == 0)
        return StreetNames[n % StreetNameCount];
    return std::string(NameParts[n % int(std::size(NameParts))]) + WayKinds[(n / 5 + town) % int(std::size(WayKinds))];
}

std::string houseNumber(int column)
{
    return std::to_string(column + 1) + (column % 5 == 4 ? "a" : "");
}

struct Extract { qint64 nodes = 0, ways = 0; };

// Who changed an object last and when, as varied as in real data (it takes room in the file).
struct EditHistory {
    std::mt19937 random{11};
    osmium::Timestamp time;
    osmium::changeset_id_type changeset = 0;
    osmium::user_id_type uid = 0;
    std::string user;
    void next()
    {
        time = osmium::Timestamp{uint32_t(1230000000 + random() % 560000000)};
        changeset = 1 + random() % 150000000;
        uid = 1 + random() % 20000;
        user = "mapper" + std::to_string(uid);
    }
    // A few metres off the drawn grid: surveyed positions are never exact.
    double jitter() { return (double(random() % 2001) - 1000.0) * 3e-8; }
};

Extract writeExtract(const std::string &file, const std::vector<Town> &towns)
{
    using namespace osmium::builder::attr;
    osmium::io::Header header;
    header.set("generator", "orvane bench_import");
    osmium::io::Writer writer{osmium::io::File{file, "pbf"}, header, osmium::io::overwrite::allow};
    osmium::memory::Buffer buffer{1 << 24, osmium::memory::Buffer::auto_grow::yes};
    const auto flush = [&](bool always) {
        if (always || buffer.committed() > (1 << 23)) {
            writer(std::move(buffer));
            buffer = osmium::memory::Buffer{1 << 24, osmium::memory::Buffer::auto_grow::yes};
        }
    };
    EditHistory edit;
    Extract extract;
    for (int t = 0; t < int(towns.size()); ++t) {
        const Town &town = towns[size_t(t)];
        const double dLon = Spacing / std::cos(town.lat * M_PI / 180);
        const double south = town.lat - Spacing * Side / 2, west = town.lon - dLon * Side / 2;
        const std::string population = std::to_string(std::max<qint64>(town.population, 500));
        edit.next();
        osmium::builder::add_node(buffer, _id(spread(1 + t * NodesPerTown)), _version(3), _timestamp(edit.time),
                                  _cid(edit.changeset), _uid(edit.uid), _user(edit.user), _location(town.lon, town.lat),
                                  _tag("place", town.population >= 100000 ? "city" : "town"), _tag("name", town.name),
                                  _tag("postal_code", town.postcode), _tag("population", population));
        for (int r = 0; r < Side; ++r)
            for (int c = 0; c < Side; ++c) {
                edit.next();
                const double lon = west + c * dLon + edit.jitter(), lat = south + r * Spacing + edit.jitter();
                osmium::builder::add_node(buffer, _id(spread(crossing(t, r, c))), _version(1), _timestamp(edit.time),
                                          _cid(edit.changeset), _uid(edit.uid), _user(edit.user), _location(lon, lat));
            }
        // The corners of a building between each two crossings on the north side of each east-west
        // street, and the address nodes in the middle of the buildings that have one.
        osmium::object_id_type id = crossing(t, Side - 1, Side - 1) + 1;
        for (int r = 0; r < Side; ++r)
            for (int c = 0; c + 1 < Side; ++c)
                for (const auto &[x, y] : Corners) {
                    edit.next();
                    const double lon = west + (c + x) * dLon + edit.jitter(), lat = south + r * Spacing + y + edit.jitter();
                    osmium::builder::add_node(buffer, _id(spread(id++)), _version(1), _timestamp(edit.time), _cid(edit.changeset),
                                              _uid(edit.uid), _user(edit.user), _location(lon, lat));
                }
        for (int r = 0; r < Side; ++r)
            for (int c = 0; c + 1 < Side; ++c) {
                if (buildingKind(r, c) != Building::Node)
                    continue;
                edit.next();
                const double lon = west + (c + 0.5) * dLon + edit.jitter(), lat = south + r * Spacing + 0.0002 + edit.jitter();
                osmium::builder::add_node(buffer, _id(spread(id++)), _version(2), _timestamp(edit.time), _cid(edit.changeset),
                                          _uid(edit.uid), _user(edit.user), _location(lon, lat),
                                          _tag("addr:street", streetName(t, r)), _tag("addr:housenumber", houseNumber(c)),
                                          _tag("addr:postcode", town.postcode), _tag("addr:city", town.name));
            }
        extract.nodes += NodesPerTown;
        flush(false);
    }
    for (int t = 0; t < int(towns.size()); ++t) {
        const Town &town = towns[size_t(t)];
        osmium::object_id_type way = 1 + t * WaysPerTown;
        // Each street in two ways that meet at its middle crossing, as streets are mapped.
        for (int s = 0; s < 2 * Side; ++s)
            for (int half = 0; half < 2; ++half) {
                std::vector<osmium::object_id_type> refs;
                for (int k = half ? Side / 2 : 0; k < (half ? Side : Side / 2 + 1); ++k)
                    refs.push_back(spread(s < Side ? crossing(t, s, k) : crossing(t, k, s - Side)));
                edit.next();
                osmium::builder::add_way(buffer, _id(way++), _version(4), _timestamp(edit.time), _cid(edit.changeset),
                                         _uid(edit.uid), _user(edit.user), _nodes(refs),
                                         _tag("highway", s % 6 == 0 ? "secondary" : "residential"),
                                         _tag("name", streetName(t, s)), _tag("maxspeed", s % 6 == 0 ? "50" : "30"));
            }
        osmium::object_id_type corner = crossing(t, Side - 1, Side - 1) + 1;
        for (int r = 0; r < Side; ++r)
            for (int c = 0; c + 1 < Side; ++c, corner += 4) {
                const std::vector<osmium::object_id_type> refs{spread(corner), spread(corner + 1), spread(corner + 2),
                                                               spread(corner + 3), spread(corner)};
                const std::string street = streetName(t, r), number = houseNumber(c);
                edit.next();
                const auto common = [&](auto &&...tags) {
                    osmium::builder::add_way(buffer, _id(way++), _version(2), _timestamp(edit.time), _cid(edit.changeset),
                                             _uid(edit.uid), _user(edit.user), _nodes(refs), tags...);
                };
                switch (buildingKind(r, c)) {
                case Building::Full:
                    common(_tag("building", "house"), _tag("addr:street", street), _tag("addr:housenumber", number),
                           _tag("addr:postcode", town.postcode), _tag("addr:city", town.name));
                    break;
                case Building::NoPostcode:
                    common(_tag("building", "house"), _tag("addr:street", street), _tag("addr:housenumber", number),
                           _tag("addr:city", town.name));
                    break;
                case Building::NoCity:
                    common(_tag("building", "house"), _tag("addr:street", street), _tag("addr:housenumber", number),
                           _tag("addr:postcode", town.postcode));
                    break;
                case Building::Node:
                case Building::Bare:
                    common(_tag("building", "yes"));
                    break;
                }
            }
        extract.ways += WaysPerTown;
        flush(false);
    }
    flush(true);
    writer.close();
    return extract;
}

struct Counter : osmium::handler::Handler {
    qint64 objects = 0;
    void osm_object(const osmium::OSMObject &) { ++objects; }
};

double bareRead(const std::string &file, qint64 &objects)
{
    QElapsedTimer t;
    t.start();
    Counter counter;
    osmium::io::Reader reader{file};
    osmium::apply(reader, counter);
    reader.close();
    objects = counter.objects;
    return double(t.nsecsElapsed()) / 1e9;
}

void row(const std::string &what, const std::string &figure)
{
    std::printf("| %-58s | %24s |\n", what.c_str(), figure.c_str());
    std::fflush(stdout);
}

std::string format(const char *f, auto... values)
{
    char buf[200];
    std::snprintf(buf, sizeof buf, f, values...);
    return buf;
}

struct Run { double seconds; long peakMb; int status; };

// Runs a command of the project as a user would, with the environment given on top of ours,
// and measures its wall time and peak resident memory.
Run run(const QStringList &command, const QStringList &environment, bool quiet)
{
    QElapsedTimer t;
    t.start();
    const pid_t pid = fork();
    if (pid == 0) {
        for (const QString &e : environment)
            putenv(strdup(e.toLocal8Bit().constData()));
        if (quiet) {
            freopen("/dev/null", "w", stdout);
            freopen("/dev/null", "w", stderr);
        }
        std::vector<QByteArray> args;
        for (const QString &a : command)
            args.push_back(a.toLocal8Bit());
        std::vector<char *> argv;
        for (QByteArray &a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    return {double(t.nsecsElapsed()) / 1e9, usage.ru_maxrss / 1024, WIFEXITED(status) ? WEXITSTATUS(status) : 128};
}

class Sqlite {
public:
    explicit Sqlite(const QString &file)
    {
        if (sqlite3_open(QFile::encodeName(file).constData(), &m_db) != SQLITE_OK)
            throw std::runtime_error("cannot open " + file.toStdString());
    }
    ~Sqlite() { sqlite3_close(m_db); }
    void exec(const char *sql)
    {
        char *error = nullptr;
        if (sqlite3_exec(m_db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
            const std::string message = error ? error : "sqlite error";
            sqlite3_free(error);
            throw std::runtime_error(message);
        }
    }
    sqlite3_stmt *prepare(const char *sql)
    {
        sqlite3_stmt *s = nullptr;
        if (sqlite3_prepare_v2(m_db, sql, -1, &s, nullptr) != SQLITE_OK)
            throw std::runtime_error(sqlite3_errmsg(m_db));
        return s;
    }
    int changes() const { return sqlite3_changes(m_db); }

private:
    sqlite3 *m_db = nullptr;
};

void bind(sqlite3_stmt *s, int i, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    sqlite3_bind_text(s, i, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

void step(sqlite3_stmt *s)
{
    if (sqlite3_step(s) != SQLITE_DONE)
        throw std::runtime_error("cannot insert a bench row");
    sqlite3_reset(s);
}

// A customer table of street addresses of the extract, as the example database has it, and
// the extract's addresses as a table of their own for the update a user would write instead.
constexpr int Customers = 100000;

void writeCustomers(const QString &file, const std::vector<Town> &towns, int rows)
{
    QFile::remove(file);
    Sqlite db(file);
    db.exec("CREATE TABLE kunden (Nr INTEGER NOT NULL, KolmNummer VARCHAR(30) NOT NULL PRIMARY KEY, Name1 VARCHAR(32),"
            " LandKennz VARCHAR(5), Plz VARCHAR(10), Ort VARCHAR(30), Strasse VARCHAR(80), MPControlGeocode BOOLEAN DEFAULT 0,"
            " MPStatus VARCHAR(50), MPAddress VARCHAR(50), W2MP DOUBLE, W1MP DOUBLE); BEGIN");
    sqlite3_stmt *insert = db.prepare("INSERT INTO kunden (Nr, KolmNummer, Name1, LandKennz, Plz, Ort, Strasse) VALUES (?, ?, ?, 'D', ?, ?, ?)");
    std::mt19937 random(17);
    for (int i = 1; i <= rows; ++i) {
        const int town = int(random() % towns.size()), r = int(random() % Side), c = int(random() % (Side - 1));
        sqlite3_bind_int(insert, 1, i);
        bind(insert, 2, QStringLiteral("K%1").arg(i, 8, 10, QLatin1Char('0')));
        bind(insert, 3, QStringLiteral("Kunde %1").arg(i));
        bind(insert, 4, QString::fromStdString(towns[size_t(town)].postcode));
        bind(insert, 5, QString::fromStdString(towns[size_t(town)].name).left(30));
        bind(insert, 6, QString::fromStdString(streetName(town, r) + " " + houseNumber(c)));
        step(insert);
    }
    sqlite3_finalize(insert);
    db.exec("COMMIT");
}

void writeAddresses(const QString &file, const Engine::Gazetteer &imported)
{
    QFile::remove(file);
    Sqlite db(file);
    db.exec("PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF;"
            "CREATE TABLE addresses (line TEXT, city TEXT, postcode TEXT, lat REAL, lon REAL); BEGIN");
    sqlite3_stmt *insert = db.prepare("INSERT INTO addresses VALUES (?, ?, ?, ?, ?)");
    for (const Engine::AddressRecord &a : imported.addresses()) {
        bind(insert, 1, a.street + u' ' + a.houseNumber);
        bind(insert, 2, a.city);
        bind(insert, 3, a.postcode);
        sqlite3_bind_double(insert, 4, a.latitude);
        sqlite3_bind_double(insert, 5, a.longitude);
        step(insert);
    }
    sqlite3_finalize(insert);
    db.exec("COMMIT; CREATE INDEX addresses_key ON addresses (line, city)");
}

// orvane-batch over the customer table in folder, and beside it the set-based update of the same
// records from a table of the imported addresses, twice each.
void batchAgainstSql(const QString &folder, const QString &target, const QString &shippedFile)
{
    const int customers = Customers;
    const QString customerFile = folder + QStringLiteral("/orvane-bench-customers.sqlite");
    const QString addressFile = folder + QStringLiteral("/orvane-bench-addresses.sqlite");
    writeAddresses(addressFile, *Engine::Gazetteer::open({target}));
    const QString batchFile = folder + QStringLiteral("/orvane-bench-batch.sqlite"), sqlFile = folder + QStringLiteral("/orvane-bench-sql.sqlite");
    QStringList batch{QStringLiteral(ORVANE_BINARY_DIR "/bin/orvane-batch"), batchFile, QStringLiteral("--table"), QStringLiteral("kunden"),
                      QStringLiteral("--gazetteer"), target};
    const char *const roles[][2] = {{"id", "KolmNummer"}, {"name", "Name1"}, {"country", "LandKennz"}, {"postcode", "Plz"},
                                    {"city", "Ort"}, {"street", "Strasse"}, {"control", "MPControlGeocode"},
                                    {"status", "MPStatus"}, {"address", "MPAddress"}, {"lat", "W2MP"}, {"lon", "W1MP"}};
    for (const auto &[role, column] : roles)
        batch << QStringLiteral("--map") << QStringLiteral("%1=%2").arg(QLatin1String(role), QLatin1String(column));
    double batchSeconds = 1e9, sqlSeconds = 1e9;
    int matched = 0;
    // Twice each, alternating, so that a busy moment of the machine weighs on both alike.
    for (int round = 0; round < 2; ++round) {
        QFile::remove(batchFile);
        QFile::copy(customerFile, batchFile);
        const Run r = run(batch, {QStringLiteral("ORVANE_GAZETTEER=") + shippedFile, QStringLiteral("XDG_CONFIG_HOME=") + folder + QStringLiteral("/config")}, true);
        if (r.status != 0)
            throw std::runtime_error("orvane-batch failed");
        batchSeconds = std::min(batchSeconds, r.seconds);
        QFile::remove(sqlFile);
        QFile::copy(customerFile, sqlFile);
        Sqlite db(sqlFile);
        db.exec(("ATTACH '" + QFile::encodeName(addressFile).toStdString() + "' AS g").c_str());
        QElapsedTimer sql;
        sql.start();
        db.exec("UPDATE kunden SET W2MP = a.lat, W1MP = a.lon, MPStatus = 'Street', MPAddress = a.line || ', ' || a.postcode || ' ' || a.city,"
                " MPControlGeocode = 0 FROM g.addresses a WHERE a.line = kunden.Strasse AND a.city = kunden.Ort");
        matched = db.changes();
        sqlSeconds = std::min(sqlSeconds, double(sql.nsecsElapsed()) / 1e9);
    }
    row(format("orvane-batch, %d street addresses", customers), format("%.0f rows/s", customers / batchSeconds));
    row(format("SQL UPDATE ... FROM addresses, %d matched", matched), format("%.0f rows/s", customers / sqlSeconds));
    row("orvane-batch / SQL UPDATE", format("%.2f x", sqlSeconds / batchSeconds));
    for (const QString &f : {addressFile, batchFile, sqlFile})
        QFile::remove(f);
}

double threadSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

} // namespace

// Street addresses of the extract, each once, on one thread; then again, warm.
void lookupsPerCore(const QString &shippedFile, const QString &target, const std::vector<Town> &towns)
{
    const auto gazetteer = Engine::Gazetteer::open({shippedFile, target});
    const Engine::Geocoder geocoder(gazetteer, Engine::Edition::Europe);
    struct Input { QString street, city, postcode; };
    std::vector<Input> inputs;
    std::mt19937 random(5);
    for (size_t i = 0; i < 200000; ++i) {
        const int town = int(random() % towns.size()), r = int(random() % Side), c = int(random() % (Side - 1));
        inputs.push_back({QString::fromStdString(streetName(town, r) + " " + houseNumber(c)), QString::fromStdString(towns[size_t(town)].name),
                          i % 2 ? QString::fromStdString(towns[size_t(town)].postcode) : QString()});
    }
    size_t addressHits = 0, asked = 0;
    // Warm, the best of three passes, as for the batch against SQL: this machine's neighbours
    // slow single passes by up to a fifth.
    for (const bool warm : {false, true})
        for (const int withPostcode : {1, 0}) {
            double best = 0;
            size_t n = 0;
            for (int pass = 0; pass < (warm ? 3 : 1); ++pass) {
                const double cpu = threadSeconds();
                n = 0;
                for (size_t i = size_t(withPostcode); i < inputs.size(); i += 2, ++n) {
                    const Engine::Answer a = geocoder.lookup(inputs[i].street, inputs[i].city, inputs[i].postcode, 94);
                    addressHits += !a.matches.empty() && a.matches.front().kind == LocationKind::AddressPoint;
                }
                asked += n;
                const double seconds = threadSeconds() - cpu;
                best = pass == 0 ? seconds : std::min(best, seconds);
            }
            row(format("street-level lookups per core, %s, %s", warm ? "warm" : "first touch", withPostcode ? "with postcode" : "city only"),
                format("%.0f /s", double(n) / best));
        }
    row("  answered at the address", format("%.1f %%", 100.0 * double(addressHits) / double(asked)));
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    const bool keep = args.removeAll(QStringLiteral("--keep")) > 0;
    const bool batchOnly = args.removeAll(QStringLiteral("--batch")) > 0;
    const bool lookupsOnly = args.removeAll(QStringLiteral("--lookups")) > 0;
    const qint64 wanted = args.value(1, QStringLiteral("1000000")).toLongLong();
    const QString folder = args.value(2, QDir::tempPath());
    const QString extractFile = folder + QStringLiteral("/orvane-bench-extract.osm.pbf");
    const std::string file = QFile::encodeName(extractFile).toStdString();
    const QString target = folder + QStringLiteral("/orvane-bench-import.bin");
    const QString tool = QStringLiteral(ORVANE_BINARY_DIR "/bin/orvane-gazetteer");
    const QString shippedFile = GazetteerFilesFromEnvironment().shipped;
    try {
        if (batchOnly) {
            batchAgainstSql(folder, target, shippedFile);
            return 0;
        }
        std::vector<Town> towns;
        {
            const auto shipped = Engine::Gazetteer::open({shippedFile});
            towns = townsFor(*shipped, int((wanted + NodesPerTown + WaysPerTown - 1) / (NodesPerTown + WaysPerTown)));
        }
        if (lookupsOnly) {
            lookupsPerCore(shippedFile, target, towns);
            return 0;
        }
        QElapsedTimer t;
        t.start();
        const Extract extract = writeExtract(file, towns);
        row(format("OSM extract (%zu towns), nodes + ways", towns.size()),
            format("%lld + %lld, %.0f MB", static_cast<long long>(extract.nodes), static_cast<long long>(extract.ways),
                   double(QFileInfo(extractFile).size()) / 1e6));
        row("  addresses / street ways written", format("%lld / %lld", static_cast<long long>(AddressesPerTown * qint64(towns.size())),
                                                      static_cast<long long>(4 * Side * qint64(towns.size()))));
        row("  written with libosmium", format("%.1f s", double(t.nsecsElapsed()) / 1e9));

        // The better of two reads, the machine may be busy with something else for one of them;
        // one read of a country-sized file.
        qint64 read = 0;
        double bareSeconds = bareRead(file, read);
        if (read < 20000000)
            bareSeconds = std::min(bareSeconds, bareRead(file, read));
        row(format("libosmium bare read (%lld objects)", static_cast<long long>(read)), format("%.0f /s", double(read) / bareSeconds));

        QFile::remove(target);
        const Run import = run({tool, QStringLiteral("import"), QStringLiteral("--gazetteer"), target, extractFile},
                               {QStringLiteral("ORVANE_GAZETTEER=") + shippedFile}, true);
        if (import.status != 0)
            throw std::runtime_error("orvane-gazetteer import failed");
        row("import with orvane-gazetteer, wall time", format("%.1f s (%.0f objects/s)", import.seconds, double(read) / import.seconds));
        row("import, peak resident memory", format("%ld MB", import.peakMb));
        row("OSM import / bare read", format("%.2f x", bareSeconds / import.seconds));
        row("gazetteer file", format("%.0f MB", double(QFileInfo(target).size()) / 1e6));

        // Program start to the first answer, with and without the import: the best of three.
        const QStringList lookup{tool, QStringLiteral("lookup"), QStringLiteral("--country"), QStringLiteral("94"),
                                 QString::fromStdString(streetName(0, 3) + " 5"), QString::fromStdString(towns[0].name),
                                 QString::fromStdString(towns[0].postcode)};
        for (const bool withImport : {false, true}) {
            Run best{1e9, 0, 0};
            for (int i = 0; i < 3; ++i) {
                const Run r = run(lookup, {QStringLiteral("ORVANE_GAZETTEER=") + shippedFile,
                                           QStringLiteral("ORVANE_USER_GAZETTEER=") + (withImport ? target : folder + QStringLiteral("/none"))},
                                  true);
                if (r.seconds < best.seconds)
                    best = r;
            }
            row(withImport ? "open and one lookup, shipped data and the import" : "open and one lookup, shipped data alone",
                format("%.3f s, %ld MB peak", best.seconds, best.peakMb));
        }

        lookupsPerCore(shippedFile, target, towns);

        // orvane-batch over street addresses of the extract, and beside it the set-based update of
        // the same records from a table of the extract's addresses.
        const QString customerFile = folder + QStringLiteral("/orvane-bench-customers.sqlite");
        writeCustomers(customerFile, towns, Customers);
        batchAgainstSql(folder, target, shippedFile);
        if (!keep)
            QFile::remove(customerFile);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "bench_import: %s\n", e.what());
        return 1;
    }
    if (keep) {
        std::printf("kept: %s\nkept: %s\nkept: %s\n", qPrintable(extractFile), qPrintable(target),
                    qPrintable(folder + QStringLiteral("/orvane-bench-customers.sqlite")));
        return 0;
    }
    QFile::remove(extractFile);
    QFile::remove(target);
    return 0;
}
