#include "Gazetteer.h"

#include "GazetteerFile.h"
#include "GazetteerSegment.h"
#include "MappedFile.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <tuple>

namespace Engine {

using namespace GazetteerFormat;

struct Gazetteer::Part {
    QString file;
    std::unique_ptr<GazetteerSegment> segment;
    uint32_t placeBase, postcodeBase, streetBase, addressBase;
};

namespace {

bool inBox(const GeoBox &b, double lat, double lon)
{
    if (lat < b.south || lat > b.north)
        return false;
    return b.west <= b.east ? lon >= b.west && lon <= b.east : lon >= b.west || lon <= b.east;
}

bool overlaps(const GeoBox &a, const GeoBox &b)
{
    if (a.north < b.south || a.south > b.north)
        return false;
    if (b.west > b.east)   // the view crosses the antimeridian
        return a.east >= b.west || a.west <= b.east;
    return !(a.east < b.west || a.west > b.east);
}

} // namespace

Gazetteer::Gazetteer() = default;
Gazetteer::~Gazetteer() = default;

std::shared_ptr<const Gazetteer> Gazetteer::openDefault(const GazetteerFiles &files)
{
    if (!QFileInfo(files.shipped).isFile())
        throw GazetteerError(QStringLiteral("The program's gazetteer %1 is missing. Build the project again, "
                                            "or point ORVANE_GAZETTEER at a gazetteer file.").arg(files.shipped));
    QStringList list{files.shipped};
    if (QFileInfo(files.user).isFile() && QFileInfo(files.user).absoluteFilePath() != QFileInfo(files.shipped).absoluteFilePath())
        list << files.user;
    return open(list);
}

std::shared_ptr<const Gazetteer> Gazetteer::open(const QStringList &files)
{
    auto g = std::shared_ptr<Gazetteer>(new Gazetteer);
    for (const QString &f : files)
        g->add(std::make_unique<MappedFile>(f));
    return g;
}

void Gazetteer::add(std::unique_ptr<MappedFile> file)
{
    for (const std::span<const std::byte> &bytes : GazetteerFile::segments(*file)) {
        Part part{file->name(), std::make_unique<GazetteerSegment>(file->name(), bytes), m_placeCount, m_postcodeCount,
                  m_streetCount, m_addressCount};
        const GazetteerSegment &s = *part.segment;
        const uint64_t places = m_placeCount + s.places().size(), postcodes = m_postcodeCount + s.postcodes().size();
        const uint64_t streets = m_streetCount + s.streets().size(), addresses = m_addressCount + s.addresses().size();
        if (std::max({places, postcodes, streets, addresses}) > UINT32_MAX)
            throw GazetteerError(QStringLiteral("The gazetteers hold more records than the program can number (%1).").arg(file->name()));
        m_placeCount = uint32_t(places);
        m_postcodeCount = uint32_t(postcodes);
        m_streetCount = uint32_t(streets);
        m_addressCount = uint32_t(addresses);
        m_parts.push_back(std::move(part));
    }
    m_files.push_back(std::move(file));
}

template<uint32_t Gazetteer::Part::*Base>
const Gazetteer::Part &Gazetteer::partOf(uint32_t n) const
{
    // Few parts: the shipped sources and the user's.
    for (size_t i = m_parts.size(); i-- > 0;)
        if (m_parts[i].*Base <= n)
            return m_parts[i];
    return m_parts.front();
}

template<typename Row, const Row *(GazetteerSegment::*WithIdentity)(uint64_t) const>
bool Gazetteer::replacedLater(size_t part, uint64_t identity) const
{
    for (size_t later = part + 1; later < m_parts.size(); ++later)
        if ((m_parts[later].segment.get()->*WithIdentity)(identity))
            return true;
    return false;
}

bool Gazetteer::placeReplaced(size_t part, uint64_t identity) const
{
    return replacedLater<PlaceRow, &GazetteerSegment::placeWithIdentity>(part, identity);
}

bool Gazetteer::postcodeReplaced(size_t part, uint64_t identity) const
{
    return replacedLater<PostcodeRow, &GazetteerSegment::postcodeWithIdentity>(part, identity);
}

PlaceRecord Gazetteer::place(uint32_t n) const
{
    const Part &part = partOf<&Part::placeBase>(n);
    const GazetteerSegment &s = *part.segment;
    const PlaceRow &r = s.places()[n - part.placeBase];
    return {s.string(r.country), s.string(r.name), s.string(r.admin1), r.latitude, r.longitude, r.population};
}

PostcodeRecord Gazetteer::postcode(uint32_t n) const
{
    const Part &part = partOf<&Part::postcodeBase>(n);
    const GazetteerSegment &s = *part.segment;
    const PostcodeRow &r = s.postcodes()[n - part.postcodeBase];
    PostcodeRecord p{s.string(r.country), s.string(r.code), s.string(r.place), s.string(r.admin1), r.latitude, r.longitude, LocationKind(r.kind),
                     r.atPlace != 0};
    // OSM postcodes do not name the state; the record they replace (ZIP data) does.
    if (p.admin1.isEmpty())
        for (size_t i = size_t(&part - m_parts.data()); i-- > 0;)
            if (const PostcodeRow *earlier = m_parts[i].segment->postcodeWithIdentity(r.identity))
                if (earlier->admin1 != 0) {
                    p.admin1 = m_parts[i].segment->string(earlier->admin1);
                    break;
                }
    return p;
}

StreetRecord Gazetteer::street(uint32_t n) const
{
    const Part &part = partOf<&Part::streetBase>(n);
    const GazetteerSegment &s = *part.segment;
    const StreetRow &r = s.streets()[n - part.streetBase];
    return {s.string(r.country), s.string(r.name), s.string(r.postcode), s.string(r.city), r.latitude, r.longitude,
            GeoBox{r.south, r.west, r.north, r.east}, s.folded(r.postcodeKey)};
}

AddressRecord Gazetteer::address(uint32_t n) const
{
    const Part &part = partOf<&Part::addressBase>(n);
    const GazetteerSegment &s = *part.segment;
    const AddressRow &r = s.addresses()[n - part.addressBase];
    return {s.string(r.country), s.string(r.street), s.string(r.houseNumber), s.string(r.postcode), s.string(r.city),
            r.latitude, r.longitude, s.folded(r.postcodeKey), r.postcodeInferred != 0};
}

std::vector<std::vector<std::pair<double, double>>> Gazetteer::streetPieces(uint32_t n) const
{
    const Part &part = partOf<&Part::streetBase>(n);
    const GazetteerSegment &s = *part.segment;
    std::vector<std::vector<std::pair<double, double>>> out;
    for (const PieceRow &piece : s.pieces(s.streets()[n - part.streetBase])) {
        std::vector<std::pair<double, double>> &line = out.emplace_back();
        for (const PointRow &p : s.points(piece))
            line.emplace_back(p.latitude, p.longitude);
    }
    return out;
}

QString Gazetteer::placeName(const PlaceHit &hit) const
{
    const Part &part = partOf<&Part::placeBase>(hit.place);
    const GazetteerSegment &s = *part.segment;
    const PlaceRow &r = s.places()[hit.place - part.placeBase];
    if (hit.name == 0)
        return s.string(r.name);
    const auto alternates = s.alternates(r);
    if (hit.name > alternates.size())
        s.damaged();
    return s.string(alternates[hit.name - 1]);
}

QString Gazetteer::placeNameWritten(uint32_t place, const QString &text) const
{
    const Part &part = partOf<&Part::placeBase>(place);
    const GazetteerSegment &s = *part.segment;
    const PlaceRow &r = s.places()[place - part.placeBase];
    // Case-insensitive equality folds unit by unit: only names of the text's length can match.
    auto written = [&](const QString &n) {
        return n.size() == text.size() && (n == text || n.compare(text, Qt::CaseInsensitive) == 0);
    };
    if (const QString name = s.string(r.name); written(name))
        return name;
    for (StringRef a : s.alternates(r))
        if (const QString name = s.string(a); written(name))
            return name;
    return {};
}

QStringList Gazetteer::placeNames(uint32_t place) const
{
    const Part &part = partOf<&Part::placeBase>(place);
    const GazetteerSegment &s = *part.segment;
    const PlaceRow &r = s.places()[place - part.placeBase];
    QStringList names{s.string(r.name)};
    for (StringRef a : s.alternates(r))
        names << s.string(a);
    return names;
}

std::vector<Gazetteer::PlaceHit> Gazetteer::placesNamedFirst(const std::string &firstWordKey) const
{
    return placesNamed(GazetteerFormat::FirstWordMark + firstWordKey);
}

std::vector<Gazetteer::PlaceHit> Gazetteer::placesNamed(const std::string &key) const
{
    std::vector<PlaceHit> out;
    for (size_t i = 0; i < m_parts.size(); ++i) {
        const Part &part = m_parts[i];
        for (const PlaceHitRow &hit : part.segment->placesNamed(key))
            if (m_parts.size() == 1 || !placeReplaced(i, part.segment->places()[hit.place].identity))
                out.push_back({part.placeBase + hit.place, uint16_t(hit.name)});
    }
    return out;
}

std::vector<uint32_t> Gazetteer::postcodesCoded(const std::string &key) const
{
    std::vector<uint32_t> out;
    for (size_t i = 0; i < m_parts.size(); ++i) {
        const Part &part = m_parts[i];
        for (uint32_t id : part.segment->postcodesCoded(key))
            if (m_parts.size() == 1 || !postcodeReplaced(i, part.segment->postcodes()[id].identity))
                out.push_back(part.postcodeBase + id);
    }
    return out;
}

std::vector<uint32_t> Gazetteer::streetsNamed(const std::string &key, const Narrowing &narrowing) const
{
    std::vector<uint32_t> out;
    for (const Part &part : m_parts)
        for (uint32_t id : part.segment->streetsNamed(key, narrowing))
            out.push_back(part.streetBase + id);
    return out;
}

std::vector<uint32_t> Gazetteer::addressesAt(const std::string &key, const Narrowing &narrowing) const
{
    std::vector<uint32_t> out;
    for (const Part &part : m_parts)
        for (uint32_t id : part.segment->addressesAt(key, narrowing))
            out.push_back(part.addressBase + id);
    return out;
}

std::vector<std::pair<Gazetteer::PlaceHit, int>> Gazetteer::placesNamedLike(const std::string &key, int maxEdits) const
{
    std::vector<std::pair<PlaceHit, int>> out;
    std::vector<std::pair<PlaceHitRow, int>> hits;
    for (size_t i = 0; i < m_parts.size(); ++i) {
        const Part &part = m_parts[i];
        hits.clear();
        part.segment->placesNamedLike(key, maxEdits, hits);
        for (const auto &[hit, edits] : hits)
            if (m_parts.size() == 1 || !placeReplaced(i, part.segment->places()[hit.place].identity))
                out.emplace_back(PlaceHit{part.placeBase + hit.place, uint16_t(hit.name)}, edits);
    }
    return out;
}

std::vector<PlaceLabel> Gazetteer::placesIn(const GeoBox &box, qint64 minPopulation, int limit) const
{
    std::vector<PlaceLabel> out;
    if (limit <= 0)
        return out;
    // Labels are copied: one must never point into a mapping that a later gazetteer replaced.
    auto label = [&](const GazetteerSegment &s, const PlaceRow &r) {
        return PlaceLabel{ownedText(s.string(r.name)), r.latitude, r.longitude, r.population};
    };
    // A small box: the places of its grid cells, largest first as in the population order.
    struct Candidate { int64_t population; size_t part; uint32_t id; };
    std::vector<Candidate> near;
    std::vector<uint32_t> ids;
    bool gridded = true;
    for (size_t i = 0; i < m_parts.size() && gridded; ++i) {
        const GazetteerSegment &s = *m_parts[i].segment;
        ids.clear();
        gridded = s.placesNear(box.south, box.west, box.north, box.east, ids);
        for (uint32_t id : ids) {
            const PlaceRow &r = s.places()[id];
            if (r.population >= minPopulation && inBox(box, r.latitude, r.longitude)
                && (m_parts.size() == 1 || !placeReplaced(i, r.identity)))
                near.push_back({r.population, i, id});
        }
    }
    if (gridded) {
        std::sort(near.begin(), near.end(), [](const Candidate &a, const Candidate &b) {
            return a.population != b.population ? a.population > b.population : std::tie(a.part, a.id) < std::tie(b.part, b.id);
        });
        for (const Candidate &c : near) {
            if (int(out.size()) >= limit)
                break;
            const GazetteerSegment &s = *m_parts[c.part].segment;
            out.push_back(label(s, s.places()[c.id]));
        }
        return out;
    }
    // A large one: down the population order of every part at once, the earlier part first
    // among equals, until the places get too small or enough are found.
    std::vector<size_t> next(m_parts.size(), 0);
    for (;;) {
        const PlaceRow *best = nullptr;
        size_t bestPart = 0;
        for (size_t i = 0; i < m_parts.size(); ++i) {
            const GazetteerSegment &s = *m_parts[i].segment;
            if (next[i] >= s.placesByPopulation().size())
                continue;
            const PlaceRow &r = s.places()[s.placesByPopulation()[next[i]]];
            if (!best || r.population > best->population) {
                best = &r;
                bestPart = i;
            }
        }
        if (!best || best->population < minPopulation || int(out.size()) >= limit)
            break;
        ++next[bestPart];
        if (inBox(box, best->latitude, best->longitude) && (m_parts.size() == 1 || !placeReplaced(bestPart, best->identity)))
            out.push_back(label(*m_parts[bestPart].segment, *best));
    }
    return out;
}

std::optional<PlaceRecord> Gazetteer::placeServing(double latitude, double longitude) const
{
    constexpr double reachKm = 15.0, kmPerDegree = 111.2;
    const double cosLat = std::max(0.01, std::cos(latitude * M_PI / 180));
    // Every place within reach lies in this box; a little wider, so that rounding loses none.
    const double dLat = reachKm / kmPerDegree * 1.01 + 1e-9, dLon = reachKm / (kmPerDegree * cosLat) * 1.01 + 1e-9;
    const PlaceRow *best = nullptr;
    const GazetteerSegment *bestSegment = nullptr;
    double bestScore = 0;
    std::vector<uint32_t> ids;
    for (size_t i = 0; i < m_parts.size(); ++i) {
        const GazetteerSegment &s = *m_parts[i].segment;
        ids.clear();
        if (!s.placesNear(latitude - dLat, longitude - dLon, latitude + dLat, longitude + dLon, ids)) {
            ids.resize(s.places().size());
            std::iota(ids.begin(), ids.end(), 0);
        }
        for (uint32_t id : ids) {
            const PlaceRow &p = s.places()[id];
            const double dy = (p.latitude - latitude) * kmPerDegree, dx = (p.longitude - longitude) * kmPerDegree * cosLat;
            const double d = std::sqrt(dx * dx + dy * dy);
            if (d > reachKm)
                continue;
            const double score = double(std::max<int64_t>(p.population, 1)) / ((d + 1) * (d + 1));
            if (score > bestScore && (m_parts.size() == 1 || !placeReplaced(i, p.identity))) {
                bestScore = score;
                best = &p;
                bestSegment = &s;
            }
        }
    }
    if (!best)
        return std::nullopt;
    return PlaceRecord{bestSegment->string(best->country), bestSegment->string(best->name), bestSegment->string(best->admin1),
                       best->latitude, best->longitude, best->population};
}

std::vector<StreetLine> Gazetteer::streetsIn(const GeoBox &box, int limit) const
{
    std::vector<StreetLine> out;
    std::vector<uint32_t> ids;
    for (const Part &part : m_parts) {
        const GazetteerSegment &s = *part.segment;
        ids.clear();
        if (!s.streetsNear(box.south, box.west, box.north, box.east, ids)) {
            ids.resize(s.streets().size());
            std::iota(ids.begin(), ids.end(), 0);
        }
        for (uint32_t id : ids) {
            const StreetRow &r = s.streets()[id];
            if (!overlaps(GeoBox{r.south, r.west, r.north, r.east}, box))
                continue;
            const QString name = ownedText(s.string(r.name));
            for (const PieceRow &piece : s.pieces(r)) {
                if (int(out.size()) >= limit)
                    return out;
                StreetLine &line = out.emplace_back(StreetLine{name, {}});
                for (const PointRow &p : s.points(piece))
                    line.latLon.emplace_back(p.latitude, p.longitude);
            }
        }
    }
    return out;
}

std::vector<Gazetteer::Source> Gazetteer::sources() const
{
    std::vector<Source> out;
    for (const Part &part : m_parts) {
        const GazetteerSegment &s = *part.segment;
        out.push_back({part.file, s.source(), QDateTime::fromSecsSinceEpoch(s.importedAt()), s.objectsRead(), s.places().size(),
                       s.postcodes().size(), s.streets().size(), s.addresses().size()});
    }
    return out;
}

} // namespace Engine
