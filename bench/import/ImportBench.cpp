// bench_import [OBJECTS] [FOLDER]: writes an OpenStreetMap extract of at least OBJECTS objects
// (default 1,000,000) as .osm.pbf - towns at the shipped gazetteer's German places, each a named
// street grid lined with buildings (two in five with an address) and a place node with its
// postcode, about the mix of objects of a country extract - then reads it with libosmium and an
// empty handler, and imports it as orvane-gazetteer does. Prints table rows.

#include "Gazetteer.h"
#include "GazetteerImporter.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

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
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

// Grid lines per town: Side x Side crossings, 2 x Side streets, Side x (Side - 1) buildings of
// four corners each.
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

struct Town {
    std::string name, postcode;
    double lat, lon;
    qint64 population;
};

std::vector<Town> townsFor(const Engine::Gazetteer &gazetteer, int count)
{
    std::vector<const Engine::PlaceRecord *> german;
    for (const Engine::PlaceRecord &p : gazetteer.places())
        if (p.country == u"DE")
            german.push_back(&p);
    if (german.empty())
        throw std::runtime_error("the shipped gazetteer has no German places to put the towns at");
    std::sort(german.begin(), german.end(), [](auto a, auto b) { return a->population > b->population; });
    std::vector<Town> towns;
    for (int t = 0; t < count; ++t) {
        // More towns than places: the same place again, a few kilometres further east.
        const Engine::PlaceRecord &p = *german[size_t(t) % german.size()];
        const int round = t / int(german.size());
        char postcode[6];
        std::snprintf(postcode, sizeof postcode, "%05d", 1000 + (t * 97) % 89999);
        towns.push_back({round ? p.name.toStdString() + " " + std::to_string(round + 1) : p.name.toStdString(),
                         postcode, p.latitude, p.longitude + 0.05 * round, p.population});
    }
    return towns;
}

constexpr qint64 NodesPerTown = 1 + Side * Side + 4 * Buildings;
constexpr qint64 WaysPerTown = 2 * Side + Buildings;

osmium::object_id_type crossing(int town, int row, int column)
{
    return 1 + town * NodesPerTown + 1 + row * Side + column;
}

std::string streetName(int town, int street)
{
    return StreetNames[(town * 7 + street) % StreetNameCount];
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
        osmium::builder::add_node(buffer, _id(1 + t * NodesPerTown), _version(3), _timestamp(edit.time),
                                  _cid(edit.changeset), _uid(edit.uid), _user(edit.user), _location(town.lon, town.lat),
                                  _tag("place", town.population >= 100000 ? "city" : "town"), _tag("name", town.name),
                                  _tag("postal_code", town.postcode), _tag("population", population));
        for (int r = 0; r < Side; ++r)
            for (int c = 0; c < Side; ++c) {
                edit.next();
                const double lon = west + c * dLon + edit.jitter(), lat = south + r * Spacing + edit.jitter();
                osmium::builder::add_node(buffer, _id(crossing(t, r, c)), _version(1), _timestamp(edit.time),
                                          _cid(edit.changeset), _uid(edit.uid), _user(edit.user), _location(lon, lat));
            }
        // The corners of a building between each two crossings on the north side of each east-west street.
        osmium::object_id_type id = crossing(t, Side - 1, Side - 1) + 1;
        for (int r = 0; r < Side; ++r)
            for (int c = 0; c + 1 < Side; ++c)
                for (const auto &[x, y] : Corners) {
                    edit.next();
                    const double lon = west + (c + x) * dLon + edit.jitter(), lat = south + r * Spacing + y + edit.jitter();
                    osmium::builder::add_node(buffer, _id(id++), _version(1), _timestamp(edit.time), _cid(edit.changeset),
                                              _uid(edit.uid), _user(edit.user), _location(lon, lat));
                }
        extract.nodes += NodesPerTown;
        flush(false);
    }
    for (int t = 0; t < int(towns.size()); ++t) {
        const Town &town = towns[size_t(t)];
        osmium::object_id_type way = 1 + t * WaysPerTown;
        for (int s = 0; s < 2 * Side; ++s) {
            std::vector<osmium::object_id_type> refs;
            for (int k = 0; k < Side; ++k)
                refs.push_back(s < Side ? crossing(t, s, k) : crossing(t, k, s - Side));
            edit.next();
            osmium::builder::add_way(buffer, _id(way++), _version(4), _timestamp(edit.time), _cid(edit.changeset),
                                     _uid(edit.uid), _user(edit.user), _nodes(refs),
                                     _tag("highway", s % 6 == 0 ? "secondary" : "residential"),
                                     _tag("name", streetName(t, s)), _tag("maxspeed", s % 6 == 0 ? "50" : "30"));
        }
        // Two buildings in five carry their address; one address in four leaves out the city.
        osmium::object_id_type corner = crossing(t, Side - 1, Side - 1) + 1;
        for (int r = 0; r < Side; ++r)
            for (int c = 0; c + 1 < Side; ++c, corner += 4) {
                const std::vector<osmium::object_id_type> refs{corner, corner + 1, corner + 2, corner + 3, corner};
                const int kind = (r * 31 + c) % 10;
                const std::string number = std::to_string(c + 1) + (c % 5 == 4 ? "a" : "");
                edit.next();
                if (kind < 3)
                    osmium::builder::add_way(buffer, _id(way++), _version(2), _timestamp(edit.time), _cid(edit.changeset),
                                             _uid(edit.uid), _user(edit.user), _nodes(refs), _tag("building", "house"),
                                             _tag("addr:street", streetName(t, r)), _tag("addr:housenumber", number),
                                             _tag("addr:postcode", town.postcode), _tag("addr:city", town.name));
                else if (kind < 4)
                    osmium::builder::add_way(buffer, _id(way++), _version(2), _timestamp(edit.time), _cid(edit.changeset),
                                             _uid(edit.uid), _user(edit.user), _nodes(refs), _tag("building", "house"),
                                             _tag("addr:street", streetName(t, r)), _tag("addr:housenumber", number),
                                             _tag("addr:postcode", town.postcode));
                else
                    osmium::builder::add_way(buffer, _id(way++), _version(1), _timestamp(edit.time), _cid(edit.changeset),
                                             _uid(edit.uid), _user(edit.user), _nodes(refs), _tag("building", "yes"));
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
}

std::string perSecond(double count, double seconds)
{
    return std::to_string(qint64(count / seconds)) + " /s";
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const qint64 wanted = args.value(1, QStringLiteral("1000000")).toLongLong();
    const QString folder = args.value(2, QDir::tempPath());
    const std::string file = QFile::encodeName(folder + QStringLiteral("/orvane-bench-extract.osm.pbf")).toStdString();
    const QString target = folder + QStringLiteral("/orvane-bench-import.sqlite");
    try {
        const auto shipped = Engine::Gazetteer::open({Engine::Gazetteer::shippedFile()});
        const int towns = int((wanted + NodesPerTown + WaysPerTown - 1) / (NodesPerTown + WaysPerTown));
        QElapsedTimer t;
        t.start();
        const Extract extract = writeExtract(file, townsFor(*shipped, towns));
        const double writeSeconds = double(t.nsecsElapsed()) / 1e9;

        // The better of two reads: the machine may be busy with something else for one of them.
        qint64 read = 0;
        const double bareSeconds = std::min(bareRead(file, read), bareRead(file, read));

        QFile::remove(target);
        Engine::GazetteerImporter importer(target);
        importer.setPlaceAt([&shipped](double lat, double lon) { return shipped->placeServing(lat, lon); });
        t.restart();
        const qint64 imported = importer.import({QString::fromStdString(file)});
        const double importSeconds = double(t.nsecsElapsed()) / 1e9;
        const auto loaded = Engine::Gazetteer::open({target});

        char buf[160];
        std::snprintf(buf, sizeof buf, "%lld + %lld, %.0f MB", static_cast<long long>(extract.nodes),
                      static_cast<long long>(extract.ways), double(QFileInfo(QString::fromStdString(file)).size()) / 1e6);
        row("OSM extract (" + std::to_string(towns) + " towns), nodes + ways", buf);
        std::snprintf(buf, sizeof buf, "%.1f s", writeSeconds);
        row("  written with libosmium", buf);
        row("libosmium bare read (" + std::to_string(read) + " objects)", perSecond(double(read), bareSeconds));
        std::snprintf(buf, sizeof buf, "%s in %.1f s", perSecond(double(imported), importSeconds).c_str(), importSeconds);
        row("OSM import (" + std::to_string(imported) + " objects)", buf);
        std::snprintf(buf, sizeof buf, "%zu / %zu / %zu", loaded->streets().size(), loaded->addresses().size(),
                      loaded->postcodes().size());
        row("  imported streets / addresses / postcodes", buf);
        std::snprintf(buf, sizeof buf, "%.2f x", (double(imported) / importSeconds) / (double(read) / bareSeconds));
        row("OSM import / bare read", buf);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "bench_import: %s\n", e.what());
        return 1;
    }
    QFile::remove(QString::fromStdString(file));
    QFile::remove(target);
    return 0;
}
