#include "OsmImporter.h"

#include "Gazetteer.h"
#include "GazetteerStore.h"
#include "ImportProgress.h"
#include "TextKey.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMap>

#include <osmium/handler.hpp>
#include <osmium/handler/node_locations_for_ways.hpp>
#include <osmium/index/map/flex_mem.hpp>
#include <osmium/io/any_input.hpp>
#include <osmium/visitor.hpp>

#include <algorithm>
#include <climits>
#include <cmath>
#include <unordered_map>
#include <unordered_set>

namespace Engine {

namespace {

using LocationIndex = osmium::index::map::FlexMem<osmium::unsigned_object_id_type, osmium::Location>;

QString tag(const osmium::OSMObject &o, const char *key)
{
    const char *v = o.tags()[key];
    return v ? QString::fromUtf8(v).trimmed() : QString();
}

struct Point { double lat, lon; };

struct OsmAddress {
    QString id, country, street, number, postcode, city;
    Point at;
};
struct OsmStreet {
    QString id, name;
    std::vector<std::pair<double, double>> latLon;
};
struct OsmPlace {
    QString id, name, country;
    Point at;
    qint64 population;
};
struct PostalBoundary {
    QString code;
    double latSum = 0, lonSum = 0;
    qint64 count = 0;
};

// Items on a grid for nearest-neighbour questions; cells about as large as the distance asked.
class Grid {
public:
    explicit Grid(double cellSize) : m_cellSize(cellSize) {}
    void add(const Point &p, uint32_t id) { m_cells[cell(p.lat, p.lon)].push_back(id); }
    template<typename Accept>
    int64_t nearest(const Point &p, const std::vector<Point> &points, double maxDegrees, Accept accept) const
    {
        const int reach = int(std::ceil(maxDegrees / m_cellSize));
        const auto [cy, cx] = cellXY(p.lat, p.lon);
        int64_t best = -1;
        double bestD = maxDegrees * maxDegrees;
        for (int dy = -reach; dy <= reach; ++dy)
            for (int dx = -reach; dx <= reach; ++dx) {
                const auto it = m_cells.find(pack(cy + dy, cx + dx));
                if (it == m_cells.end())
                    continue;
                for (uint32_t id : it->second) {
                    const double a = points[id].lat - p.lat, b = (points[id].lon - p.lon) * std::cos(p.lat * M_PI / 180);
                    const double d = a * a + b * b;
                    if (d < bestD && accept(id)) {
                        bestD = d;
                        best = id;
                    }
                }
            }
        return best;
    }

private:
    std::pair<int, int> cellXY(double lat, double lon) const
    {
        return {int(std::floor(lat / m_cellSize)), int(std::floor(lon / m_cellSize))};
    }
    static int64_t pack(int y, int x) { return (int64_t(y) << 32) ^ uint32_t(x); }
    int64_t cell(double lat, double lon) const
    {
        const auto [y, x] = cellXY(lat, lon);
        return pack(y, x);
    }
    double m_cellSize;
    std::unordered_map<int64_t, std::vector<uint32_t>> m_cells;
};

class RelationPass : public osmium::handler::Handler {
public:
    std::unordered_map<osmium::object_id_type, std::vector<size_t>> wayToBoundary;
    std::vector<PostalBoundary> boundaries;
    qint64 objects = 0;

    void relation(const osmium::Relation &r)
    {
        ++objects;
        if (tag(r, "boundary") != u"postal_code")
            return;
        QString code = tag(r, "postal_code");
        if (code.isEmpty())
            code = tag(r, "name");
        if (code.isEmpty())
            return;
        boundaries.push_back({code});
        for (const auto &m : r.members())
            if (m.type() == osmium::item_type::way)
                wayToBoundary[m.ref()].push_back(boundaries.size() - 1);
    }
};

class ObjectPass : public osmium::handler::Handler {
public:
    explicit ObjectPass(RelationPass &relations) : m_relations(relations) {}
    std::vector<OsmAddress> addresses;
    std::vector<OsmStreet> streets;
    std::vector<OsmPlace> places;
    qint64 objects = 0;

    void node(const osmium::Node &n)
    {
        ++objects;
        if (n.tags().empty() || !n.location().valid())
            return;
        const Point at{n.location().lat(), n.location().lon()};
        address(n, 'n', at);
        if (!n.tags()["place"])
            return;
        const QString place = tag(n, "place");
        static const QStringList kinds{QStringLiteral("city"), QStringLiteral("town"), QStringLiteral("village"),
                                       QStringLiteral("hamlet"), QStringLiteral("suburb"), QStringLiteral("neighbourhood")};
        const QString name = tag(n, "name");
        if (kinds.contains(place) && !name.isEmpty())
            places.push_back({QStringLiteral("n%1").arg(n.id()), name, tag(n, "addr:country"), at,
                              tag(n, "population").toLongLong()});
    }

    void way(const osmium::Way &w)
    {
        ++objects;
        std::vector<std::pair<double, double>> latLon;
        for (const auto &ref : w.nodes())
            if (ref.location().valid())
                latLon.emplace_back(ref.location().lat(), ref.location().lon());
        if (latLon.empty())
            return;
        const auto boundary = m_relations.wayToBoundary.find(w.id());
        if (boundary != m_relations.wayToBoundary.end())
            for (size_t b : boundary->second)
                for (const auto &[lat, lon] : latLon) {
                    m_relations.boundaries[b].latSum += lat;
                    m_relations.boundaries[b].lonSum += lon;
                    ++m_relations.boundaries[b].count;
                }
        if (w.tags().empty())
            return;
        if (w.tags()["highway"] && w.tags()["name"]) {
            const QString name = tag(w, "name");
            if (!tag(w, "highway").isEmpty() && !name.isEmpty())
                streets.push_back({QStringLiteral("osm:w%1").arg(w.id()), name, latLon});
        }
        Point centre{0, 0};
        for (const auto &[lat, lon] : latLon) {
            centre.lat += lat / double(latLon.size());
            centre.lon += lon / double(latLon.size());
        }
        address(w, 'w', centre);
        if (w.tags()["boundary"] && tag(w, "boundary") == u"postal_code" && w.is_closed()) {
            const QString code = tag(w, "postal_code");
            if (!code.isEmpty())
                m_relations.boundaries.push_back({code, centre.lat * double(latLon.size()),
                                                  centre.lon * double(latLon.size()), qint64(latLon.size())});
        }
    }

private:
    // kind: 'n' for nodes, 'w' for ways, as in the address's identifier.
    void address(const osmium::OSMObject &o, char kind, const Point &at)
    {
        if (!o.tags()["addr:housenumber"])
            return;
        const QString number = tag(o, "addr:housenumber");
        QString street = tag(o, "addr:street");
        if (street.isEmpty())
            street = tag(o, "addr:place");
        if (number.isEmpty() || street.isEmpty())
            return;
        addresses.push_back({QStringLiteral("osm:") + QLatin1Char(kind) + QString::number(o.id()), tag(o, "addr:country").toUpper(),
                             street, number, tag(o, "addr:postcode"), tag(o, "addr:city"), at});
    }
    RelationPass &m_relations;
};

constexpr double TouchDistance = 0.0003;

// Ways that share a node or end within a few metres of each other.
bool touches(const std::vector<std::pair<double, double>> &a, const std::vector<std::pair<double, double>> &b)
{
    constexpr double near = TouchDistance;
    for (const auto &p : {a.front(), a.back()})
        for (const auto &q : b)
            if (std::abs(p.first - q.first) < near && std::abs(p.second - q.second) < near)
                return true;
    for (const auto &p : {b.front(), b.back()})
        for (const auto &q : a)
            if (std::abs(p.first - q.first) < near && std::abs(p.second - q.second) < near)
                return true;
    return false;
}

template<typename Handler>
void readFile(const QString &file, osmium::osm_entity_bits::type entities, Handler &handler, ImportProgress *progress,
              const qint64 *objects)
{
    osmium::io::Reader reader{osmium::io::File{QFile::encodeName(file).toStdString()}, entities};
    while (osmium::memory::Buffer buffer = reader.read()) {
        osmium::apply(buffer, handler);
        if (progress)
            progress->update(qint64(reader.offset()), *objects);
    }
    reader.close();
}

} // namespace

bool OsmImporter::handles(const QString &file)
{
    const QString f = file.toLower();
    return f.endsWith(u".osm") || f.endsWith(u".osm.bz2") || f.endsWith(u".osm.gz") || f.endsWith(u".osm.pbf")
        || f.endsWith(u".pbf");
}

qint64 OsmImporter::importFile(const QString &file)
{
    if (!QFileInfo(file).isFile())
        throw GazetteerError(QStringLiteral("Cannot open %1.").arg(file));
    RelationPass relations;
    ObjectPass objects(relations);
    ImportProgress progress(QFileInfo(file).fileName(), QFileInfo(file).size());
    try {
        readFile(file, osmium::osm_entity_bits::relation, relations, nullptr, nullptr);
        LocationIndex index;
        osmium::handler::NodeLocationsForWays<LocationIndex> locations{index};
        locations.ignore_errors();   // extracts cut ways at their border
        struct Both : osmium::handler::Handler {
            osmium::handler::NodeLocationsForWays<LocationIndex> &l;
            ObjectPass &o;
            Both(osmium::handler::NodeLocationsForWays<LocationIndex> &l, ObjectPass &o) : l(l), o(o) {}
            void node(const osmium::Node &n) { l.node(n); o.node(n); }
            void way(osmium::Way &w) { l.way(w); o.way(w); }
        } both{locations, objects};
        readFile(file, osmium::osm_entity_bits::node | osmium::osm_entity_bits::way, both, &progress, &objects.objects);
    } catch (const std::exception &e) {
        throw GazetteerError(QStringLiteral("%1 cannot be read (damaged, cut off or not OpenStreetMap data): %2")
                                 .arg(file, QString::fromUtf8(e.what())));
    }

    // The data's country: what its addresses say most often, else the caller's, else the nearest place's.
    QString country = m_country.toUpper();
    if (country.isEmpty()) {
        QHash<QString, int> votes;
        for (const OsmAddress &a : objects.addresses)
            if (a.country.size() == 2)
                ++votes[a.country];
        int best = 0;
        for (auto it = votes.cbegin(); it != votes.cend(); ++it)
            if (it.value() > best) {
                best = it.value();
                country = it.key();
            }
    }
    if (country.isEmpty() && m_placeAt) {
        Point centre{0, 0};
        qint64 n = 0;
        for (const OsmAddress &a : objects.addresses) {
            centre.lat += a.at.lat;
            centre.lon += a.at.lon;
            ++n;
        }
        for (const OsmStreet &s : objects.streets) {
            centre.lat += s.latLon.front().first;
            centre.lon += s.latLon.front().second;
            ++n;
        }
        if (n > 0)
            if (const PlaceRecord *p = m_placeAt(centre.lat / double(n), centre.lon / double(n)))
                country = p->country;
    }
    if (country.isEmpty() && !(objects.addresses.empty() && objects.streets.empty() && objects.places.empty()))
        throw GazetteerError(QStringLiteral("Cannot tell which country %1 covers; name it (e.g. --country DE).").arg(file));

    std::vector<Point> addressPoints;
    Grid addressGrid(0.01);
    for (uint32_t i = 0; i < objects.addresses.size(); ++i) {
        addressPoints.push_back(objects.addresses[i].at);
        addressGrid.add(objects.addresses[i].at, i);
    }
    std::vector<Point> placePoints;
    Grid placeGrid(0.1);
    for (uint32_t i = 0; i < objects.places.size(); ++i) {
        placePoints.push_back(objects.places[i].at);
        placeGrid.add(objects.places[i].at, i);
    }
    // The data's own place nodes first; else the known places, asked once per grid cell.
    QHash<QPair<int, int>, QString> knownPlace;
    auto nearestPlace = [&](const Point &p) {
        const int64_t i = placeGrid.nearest(p, placePoints, 0.1, [](uint32_t) { return true; });
        if (i >= 0)
            return objects.places[i].name;
        if (!m_placeAt)
            return QString();
        const QPair<int, int> cell(int(std::floor(p.lat * 100)), int(std::floor(p.lon * 100)));
        const auto it = knownPlace.constFind(cell);
        if (it != knownPlace.constEnd())
            return *it;
        const PlaceRecord *known = m_placeAt(p.lat, p.lon);
        return *knownPlace.insert(cell, known ? known->name : QString());
    };

    // Addresses without a city take the place they lie in.
    for (OsmAddress &a : objects.addresses) {
        if (a.city.isEmpty())
            a.city = nearestPlace(a.at);
        if (a.country.isEmpty())
            a.country = country;
    }

    for (const OsmPlace &p : objects.places)
        m_store.putPlace(QStringLiteral("osm"), p.id,
                         PlaceRecord{p.country.isEmpty() ? country : p.country.toUpper(), p.name, QString(),
                                     p.at.lat, p.at.lon, p.population},
                         QString());
    for (const OsmAddress &a : objects.addresses)
        m_store.putAddress(a.id, AddressRecord{a.country, a.street, a.number, a.postcode, a.city, a.at.lat, a.at.lon});

    // A street takes postcode and place from the nearest address on it, else from the nearest
    // address at all, else the place it lies in. Addresses of a name are kept by cell, so that a
    // street measures only those near it and not every street of its name in the country.
    constexpr double onStreet = 0.01;   // farthest an address counts as on the street
    constexpr double streetCell = 2 * onStreet;
    const auto streetCellOf = [](double lat, double lon) {
        return std::pair{int(std::floor(lat / streetCell)), int(std::floor(lon / streetCell))};
    };
    const auto packCell = [](int y, int x) { return (int64_t(y) << 32) ^ uint32_t(x); };
    std::unordered_map<std::string, std::unordered_map<int64_t, std::vector<uint32_t>>> addressesOnStreet;
    for (uint32_t i = 0; i < objects.addresses.size(); ++i) {
        const auto [y, x] = streetCellOf(objects.addresses[i].at.lat, objects.addresses[i].at.lon);
        addressesOnStreet[TextKey::name(objects.addresses[i].street)][packCell(y, x)].push_back(i);
    }
    struct Assigned { QString postcode, city; };
    std::vector<Assigned> assigned;
    std::vector<uint32_t> near;
    std::vector<double> cosLat;
    for (const OsmStreet &s : objects.streets) {
        const auto &[lat, lon] = s.latLon[s.latLon.size() / 2];
        const Point mid{lat, lon};
        const std::string key = TextKey::name(s.name);
        int64_t from = -1;
        const auto on = addressesOnStreet.find(key);
        if (on != addressesOnStreet.end()) {
            cosLat.clear();
            for (const auto &point : s.latLon)
                cosLat.push_back(std::cos(point.first * M_PI / 180));
            // Within onStreet of a point: one cell up or down, and as many across as its latitude needs.
            near.clear();
            bool everyAddress = false;
            std::pair<int, int> last{INT_MIN, INT_MIN};
            for (size_t k = 0; k < s.latLon.size(); ++k) {
                const auto cell = streetCellOf(s.latLon[k].first, s.latLon[k].second);
                if (cell == last)
                    continue;
                last = cell;
                const double across = onStreet / std::max(cosLat[k], 1e-9) / streetCell;
                if (across > 16) {   // near a pole: every address of the name
                    everyAddress = true;
                    break;
                }
                const int reach = int(std::ceil(across));
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -reach; dx <= reach; ++dx) {
                        const auto it = on->second.find(packCell(cell.first + dy, cell.second + dx));
                        if (it != on->second.end())
                            near.insert(near.end(), it->second.begin(), it->second.end());
                    }
            }
            if (everyAddress) {
                near.clear();
                for (const auto &[cell, ids] : on->second)
                    near.insert(near.end(), ids.begin(), ids.end());
            }
            // In file order, so that of two equally near addresses the same one wins as always.
            std::sort(near.begin(), near.end());
            near.erase(std::unique(near.begin(), near.end()), near.end());
            double best = 1e9;
            for (uint32_t i : near) {
                for (size_t k = 0; k < s.latLon.size(); ++k) {
                    const auto &[plat, plon] = s.latLon[k];
                    const double d = std::hypot(objects.addresses[i].at.lat - plat,
                                                (objects.addresses[i].at.lon - plon) * cosLat[k]);
                    if (d < best) {
                        best = d;
                        from = i;
                    }
                }
            }
            if (best > onStreet)
                from = -1;
        }
        if (from < 0)
            from = addressGrid.nearest(mid, addressPoints, 0.005,
                                       [&](uint32_t i) { return !objects.addresses[i].postcode.isEmpty(); });
        const QString postcode = from >= 0 ? objects.addresses[from].postcode : QString();
        const QString city = from >= 0 && !objects.addresses[from].city.isEmpty() ? objects.addresses[from].city
                                                                                    : nearestPlace(mid);
        assigned.push_back({postcode, city});
    }
    // A way without an address near it continues a way of the same street that has one.
    std::unordered_map<std::string, std::vector<uint32_t>> waysOfStreet;
    for (uint32_t i = 0; i < objects.streets.size(); ++i)
        waysOfStreet[TextKey::name(objects.streets[i].name)].push_back(i);
    // Ways whose bounds lie farther apart than TouchDistance cannot touch: a cheap test first,
    // as a common street name has thousands of ways in a country.
    struct Bounds { double south, north, west, east; };
    std::vector<Bounds> bounds;
    bounds.reserve(objects.streets.size());
    for (const OsmStreet &s : objects.streets) {
        Bounds b{s.latLon.front().first, s.latLon.front().first, s.latLon.front().second, s.latLon.front().second};
        for (const auto &[lat, lon] : s.latLon) {
            b.south = std::min(b.south, lat);
            b.north = std::max(b.north, lat);
            b.west = std::min(b.west, lon);
            b.east = std::max(b.east, lon);
        }
        bounds.push_back(b);
    }
    const auto apart = [&bounds](uint32_t i, uint32_t j) {
        const Bounds &a = bounds[i], &b = bounds[j];
        return a.south - b.north >= TouchDistance || b.south - a.north >= TouchDistance
            || a.west - b.east >= TouchDistance || b.west - a.east >= TouchDistance;
    };
    for (const auto &[key, ways] : waysOfStreet)
        for (uint32_t i : ways) {
            if (!assigned[i].postcode.isEmpty())
                continue;
            for (uint32_t j : ways)
                if (!assigned[j].postcode.isEmpty() && !apart(i, j) && assigned[j].city == assigned[i].city
                    && touches(objects.streets[i].latLon, objects.streets[j].latLon)) {
                    assigned[i].postcode = assigned[j].postcode;
                    break;
                }
        }
    for (uint32_t i = 0; i < objects.streets.size(); ++i) {
        const OsmStreet &s = objects.streets[i];
        m_store.putStreet(s.id, country, s.name, assigned[i].postcode, assigned[i].city, s.latLon);
    }

    // Postcode areas: a boundary's centroid where the data has one, else the centroid of the
    // addresses that carry the postcode; the place is the one most of its addresses name.
    struct Area { double lat = 0, lon = 0; qint64 n = 0; QHash<QString, int> cities; };
    QMap<QString, Area> areas;
    for (const OsmAddress &a : objects.addresses) {
        if (a.postcode.isEmpty())
            continue;
        Area &area = areas[a.postcode];
        area.lat += a.at.lat;
        area.lon += a.at.lon;
        ++area.n;
        if (!a.city.isEmpty())
            ++area.cities[a.city];
    }
    for (const PostalBoundary &b : relations.boundaries) {
        if (b.count == 0)
            continue;
        Area &area = areas[b.code];
        area.lat = b.latSum;
        area.lon = b.lonSum;
        area.n = b.count;
    }
    for (auto it = areas.cbegin(); it != areas.cend(); ++it) {
        const Area &area = it.value();
        const Point at{area.lat / double(area.n), area.lon / double(area.n)};
        QString city;
        int best = 0;
        for (auto c = area.cities.cbegin(); c != area.cities.cend(); ++c)
            if (c.value() > best || (c.value() == best && c.key() < city)) {
                best = c.value();
                city = c.key();
            }
        if (city.isEmpty())
            city = nearestPlace(at);
        const std::string key = TextKey::postcode(country, it.key());
        const int kind = (country == u"CA" && key.size() == 3) || (country == u"GB" && key.size() <= 4) ? 13 : 12;
        m_store.putPostcode(QStringLiteral("osm"), PostcodeRecord{country, it.key(), city, QString(), at.lat, at.lon, kind});
    }
    const qint64 total = relations.objects + objects.objects;
    progress.finish(total);
    return total;
}

} // namespace Engine
