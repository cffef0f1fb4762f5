#include "OsmImporter.h"

#include "Gazetteer.h"
#include "GazetteerStore.h"
#include "ImportProgress.h"
#include "SpillAllocator.h"
#include "TextKey.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMap>

#include <osmium/handler.hpp>
#include <osmium/handler/node_locations_for_ways.hpp>
#include <osmium/index/map.hpp>
#include <osmium/io/any_input.hpp>
#include <osmium/visitor.hpp>

#include <algorithm>
#include <climits>
#include <cmath>
#include <tuple>
#include <unordered_map>

namespace Engine {

using GazetteerFormat::AddressRow;
using GazetteerFormat::PointRow;
using GazetteerFormat::StringRef;

namespace {

// Node locations by id, in work files: a country's nodes take gigabytes, and their ids lie far
// apart (a country holds a few of the world's), so an array by id would be mostly holes. An
// extract lists its nodes by id, so the pairs come in order. Every 256th id is kept in memory
// as well, so that a lookup reads one page of the pairs, not a dozen: when memory is short, the
// pages a binary search wanders through are the ones read again and again.
class NodeLocations : public osmium::index::map::Map<osmium::unsigned_object_id_type, osmium::Location> {
public:
    explicit NodeLocations(const QString &spillFolder) : m_nodes(SpillAllocator<Node>(spillFolder)) {}
    void set(const osmium::unsigned_object_id_type id, const osmium::Location location) override
    {
        // Of two nodes of one id the later counts, as it would in an array by id.
        if (!m_nodes.empty() && m_nodes.back().id == id) {
            m_nodes.back().location = location;
            return;
        }
        m_sorted = m_sorted && (m_nodes.empty() || m_nodes.back().id < id);
        if (m_nodes.size() % SampleEvery == 0)
            m_samples.push_back(id);
        m_nodes.push_back({id, location});
    }
    osmium::Location get(const osmium::unsigned_object_id_type id) const override
    {
        const osmium::Location l = get_noexcept(id);
        if (!l.valid())
            throw osmium::not_found{id};
        return l;
    }
    osmium::Location get_noexcept(const osmium::unsigned_object_id_type id) const noexcept override
    {
        const auto sample = std::upper_bound(m_samples.begin(), m_samples.end(), id);
        if (sample == m_samples.begin())
            return osmium::Location{};
        const size_t first = size_t(sample - m_samples.begin() - 1) * SampleEvery;
        const auto end = m_nodes.begin() + ptrdiff_t(std::min(first + SampleEvery, m_nodes.size()));
        const auto it = std::lower_bound(m_nodes.begin() + ptrdiff_t(first), end, id, [](const Node &n, uint64_t v) { return n.id < v; });
        return it != end && it->id == id ? it->location : osmium::Location{};
    }
    size_t size() const override { return m_nodes.size(); }
    size_t used_memory() const override { return m_nodes.capacity() * sizeof(Node) + m_samples.capacity() * sizeof(uint64_t); }
    void clear() override
    {
        m_nodes.clear();
        m_nodes.shrink_to_fit();
        m_samples.clear();
        m_sorted = true;
    }
    // Before the first way, when the file was not sorted by id (allowed, if rare).
    void sort() override
    {
        if (m_sorted)
            return;
        std::stable_sort(m_nodes.begin(), m_nodes.end(), [](const Node &a, const Node &b) { return a.id < b.id; });
        const auto last = std::unique(m_nodes.rbegin(), m_nodes.rend(), [](const Node &a, const Node &b) { return a.id == b.id; });
        m_nodes.erase(m_nodes.begin(), last.base());
        m_samples.clear();
        for (size_t i = 0; i < m_nodes.size(); i += SampleEvery)
            m_samples.push_back(m_nodes[i].id);
        m_sorted = true;
    }

private:
    static constexpr size_t SampleEvery = 256;   // 4 kB of pairs
    struct Node {
        uint64_t id;
        osmium::Location location;
    };
    SpillVector<Node> m_nodes;
    std::vector<uint64_t> m_samples;
    bool m_sorted = true;
};

QString tag(const osmium::OSMObject &o, const char *key)
{
    const char *v = o.tags()[key];
    return v ? QString::fromUtf8(v).trimmed() : QString();
}

struct Point { double lat, lon; };

Point pointOf(const AddressRow &a)
{
    return {a.latitude, a.longitude};
}

// A street way: its name and its points, which lie in one array for all ways as the file gave
// them (exact to the 1e-7 degrees OSM stores).
struct OsmStreet {
    StringRef name;
    uint32_t first, count;
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
    // Its outline as the ways give it, in any order: a point lies inside when a ray from it
    // crosses the pieces an odd number of times, however the rings are assembled.
    std::vector<std::vector<PointRow>> pieces;
    double south = 90, west = 180, north = -90, east = -180;

    void addPiece(std::span<const osmium::Location> points)
    {
        std::vector<PointRow> &piece = pieces.emplace_back();
        piece.reserve(points.size());
        for (const osmium::Location &l : points) {
            piece.push_back({float(l.lat()), float(l.lon())});
            south = std::min(south, l.lat());
            north = std::max(north, l.lat());
            west = std::min(west, l.lon());
            east = std::max(east, l.lon());
        }
    }
    bool contains(double lat, double lon) const
    {
        if (lat < south || lat > north || lon < west || lon > east)
            return false;
        bool inside = false;
        for (const std::vector<PointRow> &piece : pieces)
            for (size_t i = 1; i < piece.size(); ++i) {
                const PointRow &a = piece[i - 1], &b = piece[i];
                if ((a.latitude > lat) != (b.latitude > lat)
                    && lon < a.longitude + (lat - a.latitude) * (b.longitude - a.longitude) / (b.latitude - a.latitude))
                    inside = !inside;
            }
        return inside;
    }
};

int64_t packCell(int y, int x)
{
    return (int64_t(y) << 32) ^ uint32_t(x);
}

// Items on a grid for nearest-neighbour questions; cells about as large as the distance asked.
// The items of a cell lie side by side, in the order they were added.
class Grid {
public:
    Grid(double cellSize, const QString &spillFolder) : m_cellSize(cellSize), m_items(SpillAllocator<Item>(spillFolder)) {}
    void add(const Point &p, uint32_t id) { m_items.push_back({cell(p.lat, p.lon), id}); }
    void sort()
    {
        std::stable_sort(m_items.begin(), m_items.end(), [](const Item &a, const Item &b) { return a.cell < b.cell; });
    }
    template<typename PointOf>
    int64_t nearest(const Point &p, PointOf pointOf, double maxDegrees) const
    {
        const int reach = int(std::ceil(maxDegrees / m_cellSize));
        const auto [cy, cx] = cellXY(p.lat, p.lon);
        int64_t best = -1;
        double bestD = maxDegrees * maxDegrees;
        for (int dy = -reach; dy <= reach; ++dy)
            for (int dx = -reach; dx <= reach; ++dx) {
                const int64_t c = packCell(cy + dy, cx + dx);
                auto it = std::lower_bound(m_items.begin(), m_items.end(), c, [](const Item &i, int64_t v) { return i.cell < v; });
                for (; it != m_items.end() && it->cell == c; ++it) {
                    const Point q = pointOf(it->id);
                    const double a = q.lat - p.lat, b = (q.lon - p.lon) * std::cos(p.lat * M_PI / 180);
                    const double d = a * a + b * b;
                    if (d < bestD) {
                        bestD = d;
                        best = it->id;
                    }
                }
            }
        return best;
    }

private:
    struct Item { int64_t cell; uint32_t id; };
    std::pair<int, int> cellXY(double lat, double lon) const
    {
        return {int(std::floor(lat / m_cellSize)), int(std::floor(lon / m_cellSize))};
    }
    int64_t cell(double lat, double lon) const
    {
        const auto [y, x] = cellXY(lat, lon);
        return packCell(y, x);
    }
    double m_cellSize;
    SpillVector<Item> m_items;
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
        boundaries.push_back({code, 0, 0, 0, {}});
        for (const auto &m : r.members())
            if (m.type() == osmium::item_type::way)
                wayToBoundary[m.ref()].push_back(boundaries.size() - 1);
    }
};

// What the nodes and ways hold, kept as compact rows over the segment's texts, a few dozen bytes
// an address or street way, in work files.
class ObjectPass : public osmium::handler::Handler {
public:
    ObjectPass(RelationPass &relations, SegmentBuilder &texts)
        : addresses(SpillAllocator<AddressRow>(texts.spillFolder())), streets(SpillAllocator<OsmStreet>(texts.spillFolder())),
          streetPoints(SpillAllocator<osmium::Location>(texts.spillFolder())), m_relations(relations), m_texts(texts)
    {
    }
    SpillVector<AddressRow> addresses;
    SpillVector<OsmStreet> streets;
    SpillVector<osmium::Location> streetPoints;
    std::vector<OsmPlace> places;
    qint64 objects = 0;

    void node(const osmium::Node &n)
    {
        ++objects;
        if (n.tags().empty() || !n.location().valid())
            return;
        const Point at{n.location().lat(), n.location().lon()};
        address(n, at);
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
        const size_t first = streetPoints.size();
        for (const auto &ref : w.nodes())
            if (ref.location().valid())
                streetPoints.push_back(ref.location());
        const size_t count = streetPoints.size() - first;
        if (count == 0)
            return;
        const auto points = std::span<const osmium::Location>(streetPoints.data() + first, count);
        const auto boundary = m_relations.wayToBoundary.find(w.id());
        if (boundary != m_relations.wayToBoundary.end())
            for (size_t b : boundary->second) {
                for (const osmium::Location &l : points) {
                    m_relations.boundaries[b].latSum += l.lat();
                    m_relations.boundaries[b].lonSum += l.lon();
                    ++m_relations.boundaries[b].count;
                }
                m_relations.boundaries[b].addPiece(points);
            }
        bool street = false;
        if (!w.tags().empty() && w.tags()["highway"] && w.tags()["name"]) {
            const QString name = tag(w, "name");
            if (!tag(w, "highway").isEmpty() && !name.isEmpty()) {
                streets.push_back({m_texts.intern(name), uint32_t(first), uint32_t(count)});
                street = true;
            }
        }
        if (!w.tags().empty()) {
            Point centre{0, 0};
            for (const osmium::Location &l : points) {
                centre.lat += l.lat() / double(count);
                centre.lon += l.lon() / double(count);
            }
            address(w, centre);
            if (w.tags()["boundary"] && tag(w, "boundary") == u"postal_code" && w.is_closed()) {
                const QString code = tag(w, "postal_code");
                if (!code.isEmpty()) {
                    m_relations.boundaries.push_back({code, centre.lat * double(count), centre.lon * double(count), qint64(count), {}});
                    m_relations.boundaries.back().addPiece(points);
                }
            }
        }
        // Only street ways keep their points.
        if (!street)
            streetPoints.resize(first);
    }

private:
    void address(const osmium::OSMObject &o, const Point &at)
    {
        if (!o.tags()["addr:housenumber"])
            return;
        const QString number = tag(o, "addr:housenumber");
        QString street = tag(o, "addr:street");
        if (street.isEmpty())
            street = tag(o, "addr:place");
        if (number.isEmpty() || street.isEmpty())
            return;
        addresses.push_back({m_texts.intern(tag(o, "addr:country").toUpper()), m_texts.intern(street), m_texts.intern(number),
                             m_texts.intern(tag(o, "addr:postcode")), m_texts.intern(tag(o, "addr:city")), 0, 0, 0, at.lat, at.lon});
    }
    RelationPass &m_relations;
    SegmentBuilder &m_texts;
};

constexpr double TouchDistance = 0.0003;

// Ways that share a node or end within a few metres of each other.
bool touches(std::span<const osmium::Location> a, std::span<const osmium::Location> b)
{
    constexpr double near = TouchDistance;
    for (const osmium::Location &p : {a.front(), a.back()})
        for (const osmium::Location &q : b)
            if (std::abs(p.lat() - q.lat()) < near && std::abs(p.lon() - q.lon()) < near)
                return true;
    for (const osmium::Location &p : {b.front(), b.back()})
        for (const osmium::Location &q : a)
            if (std::abs(p.lat() - q.lat()) < near && std::abs(p.lon() - q.lon()) < near)
                return true;
    return false;
}

template<typename Handler>
void readFile(const QString &file, osmium::osm_entity_bits::type entities, Handler &handler, ImportProgress &progress,
              const qint64 &objects)
{
    osmium::io::Reader reader{osmium::io::File{QFile::encodeName(file).toStdString()}, entities};
    while (osmium::memory::Buffer buffer = reader.read()) {
        osmium::apply(buffer, handler);
        progress.update(qint64(reader.offset()), objects);
    }
    reader.close();
}

// Street name keys, folded once per distinct name and numbered.
class NameKeys {
public:
    explicit NameKeys(const SegmentBuilder &texts) : m_texts(texts) {}
    uint32_t of(StringRef name)
    {
        const auto it = m_byRef.find(name);
        if (it != m_byRef.end())
            return it->second;
        const auto [key, fresh] = m_byKey.try_emplace(TextKey::name(m_texts.text(name)), uint32_t(m_byKey.size()));
        m_byRef.emplace(name, key->second);
        return key->second;
    }

private:
    const SegmentBuilder &m_texts;
    std::unordered_map<StringRef, uint32_t> m_byRef;
    std::unordered_map<std::string, uint32_t> m_byKey;
};

} // namespace

bool OsmImporter::handles(const QString &file)
{
    const QString f = file.toLower();
    return f.endsWith(u".osm") || f.endsWith(u".osm.bz2") || f.endsWith(u".osm.gz") || f.endsWith(u".osm.pbf")
        || f.endsWith(u".pbf");
}

qint64 OsmImporter::importFile(const QString &file, ImportProgress &progress)
{
    if (!QFileInfo(file).isFile())
        throw GazetteerError(QStringLiteral("Cannot open %1.").arg(file));
    m_postcodesFromStreets = m_postcodesFromAreas = 0;
    SegmentBuilder &out = m_store.current();
    RelationPass relations;
    ObjectPass objects(relations, out);
    try {
        progress.phase("relations");
        readFile(file, osmium::osm_entity_bits::relation, relations, progress, relations.objects);
        progress.phase("nodes and ways");
        NodeLocations index(out.spillFolder());
        osmium::handler::NodeLocationsForWays<NodeLocations> locations{index};
        locations.ignore_errors();   // extracts cut ways at their border
        struct Both : osmium::handler::Handler {
            osmium::handler::NodeLocationsForWays<NodeLocations> &l;
            ObjectPass &o;
            Both(osmium::handler::NodeLocationsForWays<NodeLocations> &l, ObjectPass &o) : l(l), o(o) {}
            void node(const osmium::Node &n) { l.node(n); o.node(n); }
            void way(osmium::Way &w) { l.way(w); o.way(w); }
        } both{locations, objects};
        readFile(file, osmium::osm_entity_bits::node | osmium::osm_entity_bits::way, both, progress, objects.objects);
    } catch (const GazetteerError &) {
        throw;
    } catch (const std::exception &e) {
        throw GazetteerError(QStringLiteral("%1 cannot be read (damaged, cut off or not OpenStreetMap data): %2")
                                 .arg(file, QString::fromUtf8(e.what())));
    }
    SpillVector<AddressRow> &addresses = objects.addresses;
    const SpillVector<OsmStreet> &streets = objects.streets;
    const QString &spill = out.spillFolder();
    const auto pointsOf = [&](const OsmStreet &s) {
        return std::span<const osmium::Location>(objects.streetPoints.data() + s.first, s.count);
    };

    // The data's country: what its addresses say most often, else the caller's, else the nearest place's.
    QString country = m_country.toUpper();
    if (country.isEmpty()) {
        QHash<QString, int> votes;
        for (const AddressRow &a : addresses)
            if (const QString c = out.text(a.country); c.size() == 2)
                ++votes[c];
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
        for (const AddressRow &a : addresses) {
            centre.lat += a.latitude;
            centre.lon += a.longitude;
            ++n;
        }
        for (const OsmStreet &s : streets) {
            centre.lat += pointsOf(s).front().lat();
            centre.lon += pointsOf(s).front().lon();
            ++n;
        }
        if (n > 0)
            if (const std::optional<PlaceRecord> p = m_placeAt(centre.lat / double(n), centre.lon / double(n)))
                country = p->country;
    }
    if (country.isEmpty() && !(addresses.empty() && streets.empty() && objects.places.empty()))
        throw GazetteerError(QStringLiteral("Cannot tell which country %1 covers; name it (e.g. --country DE).").arg(file));
    const StringRef countryRef = out.intern(country);

    std::vector<Point> placePoints;
    Grid placeGrid(0.1, spill);
    for (uint32_t i = 0; i < objects.places.size(); ++i) {
        placePoints.push_back(objects.places[i].at);
        placeGrid.add(objects.places[i].at, i);
    }
    placeGrid.sort();
    // The data's own place nodes first; else the known places, asked once per grid cell.
    QHash<QPair<int, int>, StringRef> knownPlace;
    auto nearestPlace = [&](const Point &p) -> StringRef {
        const int64_t i = placeGrid.nearest(p, [&](uint32_t id) { return placePoints[id]; }, 0.1);
        if (i >= 0)
            return out.intern(objects.places[i].name);
        if (!m_placeAt)
            return 0;
        const QPair<int, int> cell(int(std::floor(p.lat * 100)), int(std::floor(p.lon * 100)));
        const auto it = knownPlace.constFind(cell);
        if (it != knownPlace.constEnd())
            return *it;
        const std::optional<PlaceRecord> known = m_placeAt(p.lat, p.lon);
        return *knownPlace.insert(cell, known ? out.intern(known->name) : 0);
    };

    progress.phase("addresses");
    // Addresses without a city take the place they lie in.
    for (AddressRow &a : addresses) {
        if (a.city == 0)
            a.city = nearestPlace(pointOf(a));
        if (a.country == 0)
            a.country = countryRef;
    }
    for (const OsmPlace &p : objects.places)
        out.putPlace(QStringLiteral("osm"), p.id,
                     PlaceRecord{p.country.isEmpty() ? country : p.country.toUpper(), p.name, QString(), p.at.lat, p.at.lon,
                                 p.population},
                     QString());

    progress.phase("street postcodes");
    // A street takes postcode and place from the nearest address on it, else from the nearest
    // address at all, else the place it lies in. Addresses of a name are kept by cell, so that a
    // street measures only those near it and not every street of its name in the country.
    constexpr double onStreet = 0.01;   // farthest an address counts as on the street
    constexpr double streetCell = 2 * onStreet;
    const auto streetCellOf = [](double lat, double lon) {
        return std::pair{int(std::floor(lat / streetCell)), int(std::floor(lon / streetCell))};
    };
    NameKeys nameKeys(out);
    struct OnStreet { uint32_t key; int64_t cell; uint32_t address; };
    SpillVector<OnStreet> onStreets{SpillAllocator<OnStreet>(spill)};
    onStreets.reserve(addresses.size());
    for (uint32_t i = 0; i < addresses.size(); ++i) {
        const auto [y, x] = streetCellOf(addresses[i].latitude, addresses[i].longitude);
        onStreets.push_back({nameKeys.of(addresses[i].street), packCell(y, x), i});
    }
    std::sort(onStreets.begin(), onStreets.end(),
              [](const OnStreet &a, const OnStreet &b) { return std::tie(a.key, a.cell, a.address) < std::tie(b.key, b.cell, b.address); });
    Grid postcodeGrid(0.01, spill);
    for (uint32_t i = 0; i < addresses.size(); ++i)
        if (addresses[i].postcode != 0)
            postcodeGrid.add(pointOf(addresses[i]), i);
    postcodeGrid.sort();

    struct Assigned { StringRef postcode, city; };
    std::vector<Assigned> assigned;
    assigned.reserve(streets.size());
    // For addresses without a postcode: the nearest way of their street within onStreet.
    struct StreetOf { uint32_t way = UINT32_MAX; double distance = 1e9; };
    SpillVector<StreetOf> streetOf(addresses.size(), StreetOf{}, SpillAllocator<StreetOf>(spill));
    std::vector<uint32_t> near;
    std::vector<double> cosLat;
    for (const OsmStreet &s : streets) {
        const auto points = pointsOf(s);
        const Point mid{points[points.size() / 2].lat(), points[points.size() / 2].lon()};
        const uint32_t key = nameKeys.of(s.name);
        const auto byKey = [](const OnStreet &o, uint32_t k) { return o.key < k; };
        const auto first = std::lower_bound(onStreets.begin(), onStreets.end(), key, byKey);
        const auto last = std::lower_bound(first, onStreets.end(), key + 1, byKey);
        int64_t from = -1;
        if (first != last) {
            cosLat.clear();
            for (const osmium::Location &point : points)
                cosLat.push_back(std::cos(point.lat() * M_PI / 180));
            // Within onStreet of a point: one cell up or down, and as many across as its latitude needs.
            near.clear();
            bool everyAddress = false;
            std::pair<int, int> lastCell{INT_MIN, INT_MIN};
            for (size_t k = 0; k < points.size(); ++k) {
                const auto cell = streetCellOf(points[k].lat(), points[k].lon());
                if (cell == lastCell)
                    continue;
                lastCell = cell;
                const double across = onStreet / std::max(cosLat[k], 1e-9) / streetCell;
                if (across > 16) {   // near a pole: every address of the name
                    everyAddress = true;
                    break;
                }
                const int reach = int(std::ceil(across));
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -reach; dx <= reach; ++dx) {
                        const int64_t c = packCell(cell.first + dy, cell.second + dx);
                        auto it = std::lower_bound(first, last, c, [](const OnStreet &o, int64_t v) { return o.cell < v; });
                        for (; it != last && it->cell == c; ++it)
                            near.push_back(it->address);
                    }
            }
            if (everyAddress) {
                near.clear();
                for (auto it = first; it != last; ++it)
                    near.push_back(it->address);
            }
            // In file order, so that of two equally near addresses the same one wins as always.
            std::sort(near.begin(), near.end());
            near.erase(std::unique(near.begin(), near.end()), near.end());
            double best = 1e9;
            for (uint32_t i : near) {
                double nearest = 1e9;
                for (size_t k = 0; k < points.size(); ++k) {
                    const double d = std::hypot(addresses[i].latitude - points[k].lat(),
                                                (addresses[i].longitude - points[k].lon()) * cosLat[k]);
                    nearest = std::min(nearest, d);
                    if (d < best) {
                        best = d;
                        from = i;
                    }
                }
                if (addresses[i].postcode == 0 && nearest <= onStreet && nearest < streetOf[i].distance)
                    streetOf[i] = {uint32_t(assigned.size()), nearest};
            }
            if (best > onStreet)
                from = -1;
        }
        if (from < 0)
            from = postcodeGrid.nearest(mid, [&](uint32_t id) { return pointOf(addresses[id]); }, 0.005);
        const StringRef postcode = from >= 0 ? addresses[from].postcode : 0;
        const StringRef city = from >= 0 && addresses[from].city != 0 ? addresses[from].city : nearestPlace(mid);
        assigned.push_back({postcode, city});
    }
    onStreets.clear();
    onStreets.shrink_to_fit();

    // A way without an address near it continues a way of the same street that has one. Ways
    // whose bounds lie farther apart than TouchDistance cannot touch: a cheap test first, as a
    // common street name has thousands of ways in a country.
    struct Bounds { double south, north, west, east; };
    std::vector<Bounds> bounds;
    bounds.reserve(streets.size());
    for (const OsmStreet &s : streets) {
        const auto points = pointsOf(s);
        Bounds b{points.front().lat(), points.front().lat(), points.front().lon(), points.front().lon()};
        for (const osmium::Location &l : points) {
            b.south = std::min(b.south, l.lat());
            b.north = std::max(b.north, l.lat());
            b.west = std::min(b.west, l.lon());
            b.east = std::max(b.east, l.lon());
        }
        bounds.push_back(b);
    }
    const auto apart = [&bounds](uint32_t i, uint32_t j) {
        const Bounds &a = bounds[i], &b = bounds[j];
        return a.south - b.north >= TouchDistance || b.south - a.north >= TouchDistance
            || a.west - b.east >= TouchDistance || b.west - a.east >= TouchDistance;
    };
    std::vector<std::pair<uint32_t, uint32_t>> waysByName;   // name key, way
    waysByName.reserve(streets.size());
    for (uint32_t i = 0; i < streets.size(); ++i)
        waysByName.emplace_back(nameKeys.of(streets[i].name), i);
    std::sort(waysByName.begin(), waysByName.end());
    for (size_t g = 0; g < waysByName.size();) {
        size_t end = g;
        while (end < waysByName.size() && waysByName[end].first == waysByName[g].first)
            ++end;
        for (size_t a = g; a < end; ++a) {
            const uint32_t i = waysByName[a].second;
            if (assigned[i].postcode != 0)
                continue;
            for (size_t b = g; b < end; ++b) {
                const uint32_t j = waysByName[b].second;
                if (assigned[j].postcode != 0 && !apart(i, j) && assigned[j].city == assigned[i].city
                    && touches(pointsOf(streets[i]), pointsOf(streets[j]))) {
                    assigned[i].postcode = assigned[j].postcode;
                    break;
                }
            }
        }
        g = end;
    }
    std::vector<PointRow> line;
    for (uint32_t i = 0; i < streets.size(); ++i) {
        line.clear();
        for (const osmium::Location &l : pointsOf(streets[i]))
            line.push_back({float(l.lat()), float(l.lon())});
        out.putStreet({countryRef, streets[i].name, assigned[i].postcode, assigned[i].city}, line);
    }

    progress.phase("postcode areas");
    // Postcode areas: a boundary's centroid where the data has one, else the centroid of the
    // addresses that carry the postcode; the place is the one most of its addresses name.
    struct Area { double lat = 0, lon = 0; qint64 n = 0; QHash<StringRef, int> cities; };
    std::unordered_map<StringRef, Area> byCode;
    for (const AddressRow &a : addresses) {
        if (a.postcode == 0)
            continue;
        Area &area = byCode[a.postcode];
        area.lat += a.latitude;
        area.lon += a.longitude;
        ++area.n;
        if (a.city != 0)
            ++area.cities[a.city];
    }
    for (const PostalBoundary &b : relations.boundaries) {
        if (b.count == 0)
            continue;
        Area &area = byCode[out.intern(b.code)];
        area.lat = b.latSum;
        area.lon = b.lonSum;
        area.n = b.count;
    }
    QMap<QString, const Area *> areas;   // by code, as they are written
    for (const auto &[code, area] : byCode)
        areas.insert(out.text(code), &area);
    for (auto it = areas.cbegin(); it != areas.cend(); ++it) {
        const Area &area = *it.value();
        const Point at{area.lat / double(area.n), area.lon / double(area.n)};
        QString city;
        int best = 0;
        for (auto c = area.cities.cbegin(); c != area.cities.cend(); ++c)
            if (const QString name = out.text(c.key()); c.value() > best || (c.value() == best && name < city)) {
                best = c.value();
                city = name;
            }
        if (city.isEmpty())
            city = out.text(nearestPlace(at));
        const std::string key = TextKey::postcode(country, it.key());
        const LocationKind kind = (country == u"CA" && key.size() == 3) || (country == u"GB" && key.size() <= 4)
                                      ? LocationKind::PostcodeDistrict
                                      : LocationKind::PostcodeArea;
        out.putPostcode(PostcodeRecord{country, it.key(), city, QString(), at.lat, at.lon, kind});
    }
    progress.phase("address postcodes");
    // Buildings often carry no addr:postcode: they take their street's, else that of the postcode
    // boundary they lie in.
    std::vector<std::vector<uint32_t>> boundariesByCell;
    QHash<QPair<int, int>, uint32_t> cellIndex;
    constexpr double boundaryCell = 0.1;
    for (uint32_t b = 0; b < relations.boundaries.size(); ++b) {
        const PostalBoundary &area = relations.boundaries[b];
        if (area.pieces.empty() || (area.north - area.south) / boundaryCell * (area.east - area.west) / boundaryCell > 10000)
            continue;
        for (int y = int(std::floor(area.south / boundaryCell)); y <= int(std::floor(area.north / boundaryCell)); ++y)
            for (int x = int(std::floor(area.west / boundaryCell)); x <= int(std::floor(area.east / boundaryCell)); ++x) {
                auto it = cellIndex.find(QPair(y, x));
                if (it == cellIndex.end()) {
                    it = cellIndex.insert(QPair(y, x), uint32_t(boundariesByCell.size()));
                    boundariesByCell.emplace_back();
                }
                boundariesByCell[*it].push_back(b);
            }
    }
    for (uint32_t i = 0; i < addresses.size(); ++i) {
        AddressRow &a = addresses[i];
        if (a.postcode != 0)
            continue;
        if (streetOf[i].way != UINT32_MAX && assigned[streetOf[i].way].postcode != 0) {
            a.postcode = assigned[streetOf[i].way].postcode;
            a.postcodeInferred = 1;
            ++m_postcodesFromStreets;
            continue;
        }
        const auto cell = cellIndex.constFind(QPair(int(std::floor(a.latitude / boundaryCell)), int(std::floor(a.longitude / boundaryCell))));
        if (cell == cellIndex.constEnd())
            continue;
        for (uint32_t b : boundariesByCell[*cell])
            if (relations.boundaries[b].contains(a.latitude, a.longitude)) {
                a.postcode = out.intern(relations.boundaries[b].code);
                a.postcodeInferred = 1;
                ++m_postcodesFromAreas;
                break;
            }
    }
    out.putAddresses(std::move(addresses));
    return relations.objects + objects.objects;
}

} // namespace Engine
