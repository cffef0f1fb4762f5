#include "SegmentBuilder.h"

#include "Gazetteer.h"
#include "GazetteerError.h"
#include "ImportProgress.h"
#include "OutputFile.h"
#include "TextKey.h"

#include <zlib.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <numeric>
#include <span>
#include <string_view>
#include <tuple>

namespace Engine {

using namespace GazetteerFormat;

namespace {

// Pieces of one street closer than this (degrees, about 300 m) are one street split in pieces.
constexpr double PieceGap = 0.003;
constexpr size_t MaxStringUnits = 0xFFFF;

uint64_t textHash(QStringView text)
{
    return GazetteerFormat::hashOf(std::string_view(reinterpret_cast<const char *>(text.data()), size_t(text.size()) * 2));
}

uint64_t identityOf(std::initializer_list<QStringView> parts)
{
    QString joined;
    for (QStringView p : parts) {
        joined += p;
        joined += u'\x1f';
    }
    return textHash(QStringView(joined));
}

// Among names that fold alike, the one shown: umlauts and ß written out ("München" over
// "Muenchen"), then the main name, then the first alternate.
int displayScore(const QString &s, bool mainName)
{
    static const QString umlauts = QStringLiteral("äöüÄÖÜß");
    const bool umlaut = std::any_of(s.begin(), s.end(), [](QChar c) { return umlauts.contains(c); });
    return (umlaut ? 2 : 0) + (mainName ? 1 : 0);
}

struct Box { double south, west, north, east; };

bool overlaps(const Box &a, const Box &b)
{
    if (a.north < b.south || a.south > b.north)
        return false;
    return !(a.east < b.west || a.west > b.east);
}

Box boundsOf(std::span<const PointRow> points)
{
    Box b{90, 180, -90, -180};
    for (const PointRow &p : points) {
        b.south = std::min(b.south, double(p.latitude));
        b.north = std::max(b.north, double(p.latitude));
        b.west = std::min(b.west, double(p.longitude));
        b.east = std::max(b.east, double(p.longitude));
    }
    return b;
}

// Keys side by side with an open-addressing table over them, as GazetteerSegment reads them.
// A country's addresses give tens of millions of keys: the table lies in work files.
template<typename Id> struct KeyTable {
    QString spillFolder;
    SpillVector<char> bytes{SpillAllocator<char>(spillFolder)};
    SpillVector<KeyEntry> entries{SpillAllocator<KeyEntry>(spillFolder)};
    SpillVector<uint64_t> table{SpillAllocator<uint64_t>(spillFolder)};
    SpillVector<Id> ids{SpillAllocator<Id>(spillFolder)};

    void addEntry(std::string_view key, uint32_t first, uint32_t count)
    {
        entries.push_back({uint32_t(bytes.size()), uint32_t(key.size()), first, count});
        bytes.insert(bytes.end(), key.begin(), key.end());
    }
    std::string_view key(uint32_t e) const { return {bytes.data() + entries[e].at, entries[e].size}; }
    // At most half full, so that a missing key ends its probe soon.
    void buildTable()
    {
        table.assign(std::bit_ceil(std::max<size_t>(16, 2 * entries.size())), 0);
        const size_t mask = table.size() - 1;
        for (uint32_t e = 0; e < entries.size(); ++e) {
            const uint64_t h = hashOf(key(e));
            size_t i = h & mask;
            while (table[i] != 0)
                i = (i + 1) & mask;
            table[i] = (h & 0xFFFFFFFF00000000u) | (e + 1);
        }
    }
    // Ids of one key keep their record order; sorting positions (ties broken by position) gives
    // that order without moving the keys around.
    void build(std::vector<std::pair<std::string, Id>> &&pairs)
    {
        std::vector<uint32_t> order(pairs.size());
        std::iota(order.begin(), order.end(), 0);
        std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
            const int c = pairs[a].first.compare(pairs[b].first);
            return c < 0 || (c == 0 && a < b);
        });
        ids.reserve(pairs.size());
        for (size_t i = 0; i < order.size();) {
            size_t j = i;
            const std::string &k = pairs[order[i]].first;
            while (j < order.size() && pairs[order[j]].first == k)
                ids.push_back(pairs[order[j++]].second);
            addEntry(k, uint32_t(ids.size() - (j - i)), uint32_t(j - i));
            i = j;
        }
        buildTable();
    }
};

struct TypoTable {
    std::vector<TypoBucket> buckets;
    std::vector<KeyShape> shapes;
    std::string bytes;
};

} // namespace

struct SegmentBuilder::AssembledStreets {
    QString spillFolder;
    SpillVector<StreetRow> rows{SpillAllocator<StreetRow>(spillFolder)};
    SpillVector<PieceRow> pieces{SpillAllocator<PieceRow>(spillFolder)};
    SpillVector<PointRow> points{SpillAllocator<PointRow>(spillFolder)};
};

SegmentBuilder::StringPool::StringPool() : m_units{0}, m_table(1024, 0) {}

StringRef SegmentBuilder::StringPool::intern(QStringView text)
{
    if (text.isEmpty())
        return 0;
    text = text.first(std::min<qsizetype>(text.size(), MaxStringUnits));
    const uint64_t h = textHash(text);
    const size_t mask = m_table.size() - 1;
    for (size_t i = h & mask;; i = (i + 1) & mask) {
        const uint32_t slot = m_table[i];
        if (slot == 0) {
            const auto ref = StringRef(m_units.size());
            m_units.push_back(char16_t(text.size()));
            m_units.insert(m_units.end(), reinterpret_cast<const char16_t *>(text.data()),
                           reinterpret_cast<const char16_t *>(text.data()) + text.size());
            m_table[i] = ref + 1;
            if (++m_count * 2 > m_table.size())
                grow();
            return ref;
        }
        const StringRef ref = slot - 1;
        if (m_units[ref] == text.size()
            && std::memcmp(m_units.data() + ref + 1, text.data(), size_t(text.size()) * 2) == 0)
            return ref;
    }
}

void SegmentBuilder::StringPool::grow()
{
    std::vector<uint32_t> old(m_table.size() * 2, 0);
    old.swap(m_table);
    const size_t mask = m_table.size() - 1;
    for (uint32_t slot : old) {
        if (slot == 0)
            continue;
        const StringRef ref = slot - 1;
        size_t i = textHash(QStringView(m_units.data() + ref + 1, m_units[ref])) & mask;
        while (m_table[i] != 0)
            i = (i + 1) & mask;
        m_table[i] = slot;
    }
}

QString SegmentBuilder::StringPool::text(StringRef ref) const
{
    return QString::fromRawData(reinterpret_cast<const QChar *>(m_units.data() + ref + 1), m_units[ref]);
}

SegmentBuilder::SegmentBuilder(QString source, const QString &spillFolder)
    : m_source(std::move(source)), m_spillFolder(spillFolder), m_pieces(SpillAllocator<Piece>(spillFolder)),
      m_points(SpillAllocator<PointRow>(spillFolder)),
      m_addresses(SpillAllocator<AddressRow>(spillFolder))
{
}

void SegmentBuilder::putPlace(const QString &source, const QString &sourceId, const PlaceRecord &p,
                              const QString &alternates)
{
    const uint64_t identity = identityOf({source, sourceId});
    const auto [it, fresh] = m_placeByIdentity.try_emplace(identity, uint32_t(m_places.size()));
    if (!fresh) {
        m_placeReplaced[it->second] = true;
        it->second = uint32_t(m_places.size());
    }
    PlaceRow row{};
    row.country = m_strings.intern(p.country);
    row.name = m_strings.intern(p.name);
    row.admin1 = m_strings.intern(p.admin1);
    row.firstName = uint32_t(m_placeNames.size());
    for (QStringView a : QStringView(alternates).split(u','))
        if (!a.isEmpty())
            m_placeNames.push_back(m_strings.intern(a));
    row.nameCount = uint32_t(m_placeNames.size() - row.firstName);
    row.identity = identity;
    row.latitude = p.latitude;
    row.longitude = p.longitude;
    row.population = p.population;
    m_places.push_back(row);
    m_placeReplaced.push_back(false);
}

void SegmentBuilder::putPostcode(const PostcodeRecord &p)
{
    const uint64_t identity = identityOf({p.country, p.code, p.place});
    const auto [it, fresh] = m_postcodeByIdentity.try_emplace(identity, uint32_t(m_postcodes.size()));
    if (!fresh) {
        m_postcodeReplaced[it->second] = true;
        it->second = uint32_t(m_postcodes.size());
    }
    m_postcodes.push_back({m_strings.intern(p.country), m_strings.intern(p.code), m_strings.intern(p.place),
                           m_strings.intern(p.admin1), int32_t(p.kind), p.atPlace ? 1u : 0u, identity, p.latitude, p.longitude});
    m_postcodeReplaced.push_back(false);
}

void SegmentBuilder::putStreet(const QString &country, const QString &name, const QString &postcode, const QString &city,
                               const std::vector<std::pair<double, double>> &latLon)
{
    // Single precision is about a metre: plenty for drawing and locating a street.
    m_pieces.push_back({m_strings.intern(country), m_strings.intern(name), m_strings.intern(postcode), m_strings.intern(city),
                        uint32_t(m_points.size()), uint32_t(latLon.size())});
    for (const auto &[lat, lon] : latLon)
        m_points.push_back({float(lat), float(lon)});
}

void SegmentBuilder::putStreet(const StreetTexts &t, std::span<const PointRow> points)
{
    m_pieces.push_back({t.country, t.name, t.postcode, t.city, uint32_t(m_points.size()), uint32_t(points.size())});
    m_points.insert(m_points.end(), points.begin(), points.end());
}

void SegmentBuilder::putAddresses(SpillVector<AddressRow> &&rows)
{
    if (m_addresses.empty())
        m_addresses = std::move(rows);
    else
        m_addresses.insert(m_addresses.end(), rows.begin(), rows.end());
}

void SegmentBuilder::putAddress(const AddressRecord &a)
{
    m_addresses.push_back({m_strings.intern(a.country), m_strings.intern(a.street), m_strings.intern(a.houseNumber),
                           m_strings.intern(a.postcode), m_strings.intern(a.city), 0, a.postcodeInferred ? 1u : 0u, 0,
                           a.latitude, a.longitude});
}

const std::string &SegmentBuilder::nameKey(StringRef ref) const
{
    auto it = m_nameKeys.find(ref);
    if (it == m_nameKeys.end())
        it = m_nameKeys.emplace(ref, TextKey::name(m_strings.text(ref))).first;
    return it->second;
}

void SegmentBuilder::buildStreets(AssembledStreets &out) const
{
    // Group the ways of one street (same name, postcode and place), then split each group where
    // its pieces lie apart: two streets of one name in different villages stay two results.
    std::vector<uint32_t> order(m_pieces.size());
    std::iota(order.begin(), order.end(), 0);
    std::vector<std::string> groupKey(m_pieces.size());
    for (size_t i = 0; i < m_pieces.size(); ++i) {
        const Piece &p = m_pieces[i];
        const QString country = m_strings.text(p.country);
        groupKey[i] = country.toStdString() + ':' + nameKey(p.name) + ':'
            + TextKey::postcode(country, m_strings.text(p.postcode)) + ':' + nameKey(p.city);
    }
    std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return groupKey[a] < groupKey[b]; });

    const auto pointsOf = [&](const Piece &p) { return std::span<const PointRow>(m_points.data() + p.firstPoint, p.pointCount); };
    std::vector<Box> boxes;
    std::vector<int> cluster;
    std::vector<size_t> todo;
    for (size_t i = 0; i < order.size();) {
        size_t j = i;
        while (j < order.size() && groupKey[order[j]] == groupKey[order[i]])
            ++j;
        boxes.clear();
        for (size_t k = i; k < j; ++k)
            boxes.push_back(boundsOf(pointsOf(m_pieces[order[k]])));
        cluster.assign(j - i, -1);
        int clusters = 0;
        for (size_t k = 0; k < cluster.size(); ++k) {
            if (cluster[k] >= 0)
                continue;
            cluster[k] = clusters;
            todo.assign(1, k);
            while (!todo.empty()) {
                const size_t a = todo.back();
                todo.pop_back();
                const Box grown{boxes[a].south - PieceGap, boxes[a].west - PieceGap, boxes[a].north + PieceGap,
                                boxes[a].east + PieceGap};
                for (size_t b = 0; b < cluster.size(); ++b)
                    if (cluster[b] < 0 && overlaps(boxes[b], grown)) {
                        cluster[b] = clusters;
                        todo.push_back(b);
                    }
            }
            ++clusters;
        }
        for (int c = 0; c < clusters; ++c) {
            StreetRow s{};
            s.firstPiece = uint32_t(out.pieces.size());
            const size_t firstPoint = out.points.size();
            size_t longest = 0;
            for (size_t k = 0; k < cluster.size(); ++k) {
                if (cluster[k] != c)
                    continue;
                const Piece &p = m_pieces[order[i + k]];
                if (s.pieceCount == 0) {
                    s.country = p.country;
                    s.name = p.name;
                    s.postcode = p.postcode;
                    s.city = p.city;
                }
                const auto points = pointsOf(p);
                if (points.size() > longest) {
                    longest = points.size();
                    s.latitude = points[points.size() / 2].latitude;
                    s.longitude = points[points.size() / 2].longitude;
                }
                out.pieces.push_back({uint32_t(out.points.size()), uint32_t(points.size())});
                out.points.insert(out.points.end(), points.begin(), points.end());
                ++s.pieceCount;
            }
            if (out.points.size() == firstPoint) {
                out.pieces.resize(s.firstPiece);
                continue;
            }
            const Box b = boundsOf(std::span<const PointRow>(out.points.data() + firstPoint, out.points.size() - firstPoint));
            s.south = b.south;
            s.west = b.west;
            s.north = b.north;
            s.east = b.east;
            out.rows.push_back(s);
        }
        i = j;
    }
}

namespace {

struct PlaceIndex {
    explicit PlaceIndex(const QString &spillFolder) : keys{spillFolder} {}
    KeyTable<PlaceHitRow> keys;
    std::vector<uint32_t> typoKeys;
    TypoTable heads, tails;
};

// By length, so that a search reads only the keys of a length within reach; the key's number
// breaks ties, keeping the candidates in the index's order.
TypoTable typoTable(std::vector<std::pair<uint32_t, KeyShape>> &all, const PlaceIndex &index)
{
    std::sort(all.begin(), all.end(), [](const auto &a, const auto &b) {
        return std::tie(a.first, a.second.size, a.second.key) < std::tie(b.first, b.second.size, b.second.key);
    });
    TypoTable t;
    for (size_t i = 0; i < all.size();) {
        TypoBucket bucket{all[i].first, uint32_t(t.shapes.size()), 0, 0, t.bytes.size(), 0};
        for (; i < all.size() && all[i].first == bucket.code; ++i) {
            KeyShape shape = all[i].second;
            shape.at = uint32_t(t.bytes.size() - bucket.bytesAt);
            t.bytes += index.keys.key(index.typoKeys[shape.key]);
            t.shapes.push_back(shape);
        }
        bucket.shapeCount = uint32_t(t.shapes.size() - bucket.firstShape);
        bucket.bytesSize = t.bytes.size() - bucket.bytesAt;
        t.buckets.push_back(bucket);
    }
    return t;
}

// Place names: one entry per key and place, under the name shown for it.
template<typename TextOf>
PlaceIndex placeIndex(const std::vector<PlaceRow> &places, const std::vector<StringRef> &alternates, TextOf textOf,
                      const QString &spillFolder)
{
    PlaceIndex index(spillFolder);
    std::vector<std::pair<std::string, PlaceHitRow>> pairs;
    pairs.reserve(places.size() * 4);
    std::vector<std::pair<std::string, uint32_t>> keys;
    for (uint32_t i = 0; i < places.size(); ++i) {
        keys.clear();
        const PlaceRow &p = places[i];
        const auto nameOf = [&](uint32_t n) { return textOf(n == 0 ? p.name : alternates[p.firstName + n - 1]); };
        for (uint32_t n = 0; n <= p.nameCount && n < 0xFFFF; ++n) {
            const QString name = nameOf(n);
            const std::vector<std::string> words = TextKey::nameWords(name);
            std::string key;
            for (const std::string &w : words)
                key += w;
            if (key.empty())
                continue;
            std::string first = words.size() > 1 ? FirstWordMark + words.front() : std::string();
            for (std::string *k : {&key, &first}) {
                if (k->empty())
                    continue;
                auto it = std::find_if(keys.begin(), keys.end(), [&](const auto &e) { return e.first == *k; });
                if (it == keys.end())
                    keys.emplace_back(std::move(*k), n);
                else if (displayScore(name, n == 0) > displayScore(nameOf(it->second), it->second == 0))
                    it->second = n;
            }
        }
        for (auto &[key, n] : keys)
            pairs.emplace_back(std::move(key), PlaceHitRow{i, n});
    }
    const auto firstWordKey = [](std::string_view key) { return !key.empty() && key.front() == FirstWordMark; };
    const size_t pairCount = size_t(std::count_if(pairs.begin(), pairs.end(), [&](const auto &p) { return !firstWordKey(p.first); }));
    index.keys.build(std::move(pairs));

    // Typo candidates of equal rank are answered in this order, the order of a hash set of the
    // keys filled in key order, as they always have been.
    std::unordered_map<std::string_view, uint32_t> hashOrder;
    hashOrder.reserve(pairCount);
    for (uint32_t e = 0; e < index.keys.entries.size(); ++e)
        if (!firstWordKey(index.keys.key(e)))
            hashOrder.emplace(index.keys.key(e), e);
    std::vector<std::pair<uint32_t, KeyShape>> heads, tails;
    for (const auto &[key, entry] : hashOrder) {
        if (key.size() < 4)
            continue;
        const auto k = uint32_t(index.typoKeys.size());
        index.typoKeys.push_back(entry);
        const KeyShape shape{letterBits(key), uint32_t(key.size()), k, 0, 0};
        heads.emplace_back(bucketCode(key.substr(0, 2)), shape);
        tails.emplace_back(bucketCode(key.substr(key.size() - 3)), shape);
    }
    index.heads = typoTable(heads, index);
    index.tails = typoTable(tails, index);
    return index;
}

std::vector<IdentityRow> identities(const auto &rows)
{
    std::vector<IdentityRow> out;
    out.reserve(rows.size());
    for (uint32_t i = 0; i < rows.size(); ++i)
        out.push_back({rows[i].identity, i, 0});
    std::sort(out.begin(), out.end(), [](const IdentityRow &a, const IdentityRow &b) { return a.identity < b.identity; });
    return out;
}

int64_t cellIndex(double degrees, double cellDegrees)
{
    return int64_t(std::floor(degrees / cellDegrees));
}

class SectionWriter {
public:
    SectionWriter(OutputFile &out, uint64_t start, SegmentHeader &header) : m_out(out), m_start(start), m_header(header) {}
    void put(Section s, const void *data, uint64_t size)
    {
        m_out.pad(8);
        m_header.sections[s] = {m_out.position() - m_start, size};
        m_out.write(data, size_t(size));
    }
    template<typename T, typename A> void put(Section s, const std::vector<T, A> &rows) { put(s, rows.data(), rows.size() * sizeof(T)); }
    void put(Section s, const std::string &bytes) { put(s, bytes.data(), bytes.size()); }
    template<typename Id> void put(Section bytes, const KeyTable<Id> &k)
    {
        put(bytes, k.bytes);
        put(Section(bytes + 1), k.entries);
        put(Section(bytes + 2), k.table);
        put(Section(bytes + 3), k.ids);
    }
    void put(Section buckets, const TypoTable &t)
    {
        put(buckets, t.buckets);
        put(Section(buckets + 1), t.shapes);
        put(Section(buckets + 2), t.bytes);
    }

private:
    OutputFile &m_out;
    uint64_t m_start;
    SegmentHeader &m_header;
};

// Folded keys written once each, for the narrowing rows.
class FoldedPool {
public:
    uint32_t intern(const std::string &key)
    {
        const auto [it, fresh] = m_refs.try_emplace(key, uint32_t(m_bytes.size()));
        if (fresh) {
            const auto size = uint16_t(std::min<size_t>(key.size(), 0xFFFF));
            m_bytes.push_back(char(size & 0xFF));
            m_bytes.push_back(char(size >> 8));
            m_bytes.append(key, 0, size);
        }
        return it->second;
    }
    std::string_view key(uint32_t ref) const
    {
        const auto size = size_t(uint8_t(m_bytes[ref])) | size_t(uint8_t(m_bytes[ref + 1])) << 8;
        return {m_bytes.data() + ref + 2, size};
    }
    const std::string &bytes() const { return m_bytes; }

private:
    std::string m_bytes;
    std::unordered_map<std::string, uint32_t> m_refs;
};

// What a record offers the narrowing: its postcode and city keys and where it lies.
struct NarrowKeys { uint32_t postcode, city, cell; };

struct Narrowed {
    QString spillFolder;
    SpillVector<NarrowEntry> entries{SpillAllocator<NarrowEntry>(spillFolder)};
    SpillVector<NarrowRow> rows{SpillAllocator<NarrowRow>(spillFolder)};
    SpillVector<NarrowFence> fences{SpillAllocator<NarrowFence>(spillFolder)};
};

Narrowed narrow(const KeyTable<uint32_t> &keys, std::span<const NarrowKeys> of, const FoldedPool &pool)
{
    Narrowed out{keys.spillFolder};
    out.entries.reserve(keys.entries.size());
    std::vector<NarrowRow> rows;
    for (const KeyEntry &e : keys.entries) {
        if (e.count < NarrowFrom) {
            out.entries.push_back({0, 0});
            continue;
        }
        out.entries.push_back({uint32_t(out.rows.size()), e.count});
        for (int by = 0; by < 3; ++by) {
            rows.clear();
            for (uint32_t k = 0; k < e.count; ++k) {
                const uint32_t id = keys.ids[e.first + k];
                const NarrowKeys &n = of[id];
                NarrowRow &row = rows.emplace_back(NarrowRow{by == 0 ? n.postcode : by == 1 ? n.city : n.cell, id, {}});
                if (by < 2) {
                    const std::string_view key = pool.key(row.key);
                    std::copy_n(key.begin(), std::min(key.size(), NarrowHeadBytes), row.head);
                }
            }
            if (by < 2)
                std::sort(rows.begin(), rows.end(), [&](const NarrowRow &a, const NarrowRow &b) {
                    const int c = pool.key(a.key).compare(pool.key(b.key));
                    return c != 0 ? c < 0 : a.id < b.id;
                });
            else
                std::sort(rows.begin(), rows.end(), [](const NarrowRow &a, const NarrowRow &b) { return std::tie(a.key, a.id) < std::tie(b.key, b.id); });
            out.rows.insert(out.rows.end(), rows.begin(), rows.end());
        }
    }
    for (size_t i = 0; i < out.rows.size(); i += NarrowFenceStride) {
        NarrowFence &fence = out.fences.emplace_back();
        std::copy_n(out.rows[i].head, NarrowHeadBytes, fence.head);
    }
    return out;
}

uint32_t narrowCellOf(double lat, double lon)
{
    return narrowCell(int64_t(std::floor(lat / NarrowCellDegrees)), int64_t(std::floor(lon / NarrowCellDegrees)));
}

} // namespace

uint64_t SegmentBuilder::write(OutputFile &out, int64_t importedAt, ImportProgress &progress)
{
    if (out.position() % SegmentAlignment != 0)
        throw GazetteerError(QStringLiteral("Cannot write the gazetteer %1: a segment out of place").arg(out.name()));
    const uint64_t start = out.position();
    SegmentHeader header{};
    out.write(&header, sizeof header);
    SectionWriter sections(out, start, header);
    FoldedPool folded;

    // Replaced records go; the later record stands where a replacement always stood, last.
    std::vector<PlaceRow> places;
    for (size_t i = 0; i < m_places.size(); ++i)
        if (!m_placeReplaced[i])
            places.push_back(m_places[i]);
    std::vector<PostcodeRow> postcodes;
    for (size_t i = 0; i < m_postcodes.size(); ++i)
        if (!m_postcodeReplaced[i])
            postcodes.push_back(m_postcodes[i]);
    sections.put(Strings, m_strings.units());
    sections.put(Places, places);
    sections.put(PlaceNames, m_placeNames);
    sections.put(PlaceIdentities, identities(places));
    sections.put(Postcodes, postcodes);
    sections.put(PostcodeIdentities, identities(postcodes));
    {
        std::vector<uint32_t> byPopulation(places.size());
        std::iota(byPopulation.begin(), byPopulation.end(), 0);
        std::stable_sort(byPopulation.begin(), byPopulation.end(),
                         [&](uint32_t a, uint32_t b) { return places[a].population > places[b].population; });
        sections.put(PlacesByPopulation, byPopulation);
        std::vector<GridRow> grid;
        for (uint32_t i = 0; i < places.size(); ++i)
            grid.push_back({cellOf(cellIndex(places[i].latitude, PlaceCellDegrees), cellIndex(places[i].longitude, PlaceCellDegrees)), i, 0});
        std::sort(grid.begin(), grid.end(), [](const GridRow &a, const GridRow &b) { return std::tie(a.cell, a.id) < std::tie(b.cell, b.id); });
        sections.put(PlaceGrid, grid);
    }
    {
        progress.phase("streets");
        AssembledStreets streets{m_spillFolder};
        buildStreets(streets);
        sections.put(Pieces, streets.pieces);
        sections.put(Points, streets.points);
        SpillVector<GridRow> grid{SpillAllocator<GridRow>(m_spillFolder)};
        for (uint32_t i = 0; i < streets.rows.size(); ++i) {
            const StreetRow &s = streets.rows[i];
            const int64_t y0 = cellIndex(s.south, StreetCellDegrees), y1 = cellIndex(s.north, StreetCellDegrees);
            const int64_t x0 = cellIndex(s.west, StreetCellDegrees), x1 = cellIndex(s.east, StreetCellDegrees);
            if ((y1 - y0 + 1) * (x1 - x0 + 1) > MaxCellsPerRecord) {
                grid.push_back({LargeCell, i, 0});
                continue;
            }
            for (int64_t y = y0; y <= y1; ++y)
                for (int64_t x = x0; x <= x1; ++x)
                    grid.push_back({cellOf(y, x), i, 0});
        }
        std::sort(grid.begin(), grid.end(), [](const GridRow &a, const GridRow &b) { return std::tie(a.cell, a.id) < std::tie(b.cell, b.id); });
        sections.put(StreetGrid, grid);
        KeyTable<uint32_t> keys{m_spillFolder};
        std::vector<std::pair<std::string, uint32_t>> pairs;
        std::vector<NarrowKeys> narrowKeys;
        for (uint32_t i = 0; i < streets.rows.size(); ++i) {
            StreetRow &r = streets.rows[i];
            const QString country = m_strings.text(r.country);
            pairs.emplace_back(country.toStdString() + ':' + nameKey(r.name), i);
            r.postcodeKey = folded.intern(TextKey::postcode(country, m_strings.text(r.postcode)));
            narrowKeys.push_back({r.postcodeKey, folded.intern(nameKey(r.city)), narrowCellOf(r.latitude, r.longitude)});
        }
        sections.put(Streets, streets.rows);
        keys.build(std::move(pairs));
        sections.put(StreetKeyBytes, keys);
        const Narrowed narrowed = narrow(keys, narrowKeys, folded);
        sections.put(StreetNarrowEntries, narrowed.entries);
        sections.put(StreetNarrowRows, narrowed.rows);
        sections.put(StreetNarrowFences, narrowed.fences);
    }
    {
        progress.phase("indexes");
        KeyTable<uint32_t> keys{m_spillFolder};
        std::vector<std::pair<std::string, uint32_t>> pairs;
        for (uint32_t i = 0; i < postcodes.size(); ++i) {
            const QString country = m_strings.text(postcodes[i].country);
            pairs.emplace_back(country.toStdString() + ':' + TextKey::postcode(country, m_strings.text(postcodes[i].code)), i);
        }
        keys.build(std::move(pairs));
        sections.put(PostcodeKeyBytes, keys);
    }
    {
        // Addresses by street and house number. The keys are made from numbered street and number
        // keys, so that a country's addresses need no key string each.
        std::unordered_map<std::string, uint32_t> numberIds, streetIds;
        std::vector<std::string> numberKeys, streetKeys;
        std::unordered_map<StringRef, uint32_t> numberOfRef;
        std::unordered_map<uint64_t, uint32_t> streetOfRefs;
        const auto idOf = [](std::unordered_map<std::string, uint32_t> &ids, std::vector<std::string> &keys, std::string &&key) {
            const auto [it, fresh] = ids.try_emplace(key, uint32_t(keys.size()));
            if (fresh)
                keys.push_back(std::move(key));
            return it->second;
        };
        struct Hit { uint32_t street, number, address; };
        SpillVector<Hit> hits{SpillAllocator<Hit>(m_spillFolder)};
        hits.reserve(m_addresses.size());
        SpillVector<NarrowKeys> narrowKeys{SpillAllocator<NarrowKeys>(m_spillFolder)};
        narrowKeys.reserve(m_addresses.size());
        std::unordered_map<uint64_t, uint32_t> postcodeKeyOf;
        for (uint32_t i = 0; i < m_addresses.size(); ++i) {
            AddressRow &a = m_addresses[i];
            auto number = numberOfRef.find(a.houseNumber);
            if (number == numberOfRef.end())
                number = numberOfRef.emplace(a.houseNumber, idOf(numberIds, numberKeys, TextKey::houseNumber(m_strings.text(a.houseNumber)))).first;
            const uint64_t refs = uint64_t(a.country) << 32 | a.street;
            auto street = streetOfRefs.find(refs);
            if (street == streetOfRefs.end())
                street = streetOfRefs.emplace(refs, idOf(streetIds, streetKeys, m_strings.text(a.country).toStdString() + ':' + nameKey(a.street))).first;
            hits.push_back({street->second, number->second, i});
            const uint64_t postcodeRefs = uint64_t(a.country) << 32 | a.postcode;
            auto postcode = postcodeKeyOf.find(postcodeRefs);
            if (postcode == postcodeKeyOf.end())
                postcode = postcodeKeyOf.emplace(postcodeRefs, folded.intern(TextKey::postcode(m_strings.text(a.country), m_strings.text(a.postcode)))).first;
            a.postcodeKey = postcode->second;
            narrowKeys.push_back({postcode->second, folded.intern(nameKey(a.city)), narrowCellOf(a.latitude, a.longitude)});
        }
        sections.put(Addresses, m_addresses);
        std::sort(hits.begin(), hits.end(), [](const Hit &a, const Hit &b) {
            return std::tie(a.street, a.number, a.address) < std::tie(b.street, b.number, b.address);
        });
        KeyTable<uint32_t> keys{m_spillFolder};
        keys.ids.reserve(hits.size());
        for (size_t i = 0; i < hits.size();) {
            const Hit &h = hits[i];
            const auto first = uint32_t(keys.ids.size());
            for (; i < hits.size() && hits[i].street == h.street && hits[i].number == h.number; ++i)
                keys.ids.push_back(hits[i].address);
            keys.addEntry(streetKeys[h.street] + '#' + numberKeys[h.number], first, uint32_t(keys.ids.size() - first));
        }
        hits.clear();
        hits.shrink_to_fit();
        keys.buildTable();
        sections.put(AddressKeyBytes, keys);
        const Narrowed narrowed = narrow(keys, narrowKeys, folded);
        sections.put(AddressNarrowEntries, narrowed.entries);
        sections.put(AddressNarrowRows, narrowed.rows);
        sections.put(AddressNarrowFences, narrowed.fences);
    }
    sections.put(FoldedKeys, folded.bytes());
    {
        PlaceIndex index = placeIndex(places, m_placeNames, [this](StringRef r) { return m_strings.text(r); }, m_spillFolder);
        sections.put(PlaceKeyBytes, index.keys);
        sections.put(TypoKeys, index.typoKeys);
        sections.put(TypoHeadBuckets, index.heads);
        sections.put(TypoTailBuckets, index.tails);
    }

    out.pad(SegmentAlignment);
    std::memcpy(header.magic, SegmentMagic, sizeof SegmentMagic);
    header.size = out.position() - start;
    header.importedAt = importedAt;
    header.objectsRead = m_objectsRead;
    const QByteArray source = m_source.toUtf8().left(qsizetype(SourceNameBytes - 1));
    std::memcpy(header.source, source.constData(), size_t(source.size()));
    header.headerCrc = uint32_t(crc32(0, reinterpret_cast<const Bytef *>(&header), sizeof header));
    out.writeAt(start, &header, sizeof header);
    return header.size;
}

} // namespace Engine
