#include "GazetteerSegment.h"

#include "GazetteerError.h"
#include "GreatCircle.h"
#include "TextKey.h"

#include <zlib.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace Engine {

using namespace GazetteerFormat;

namespace {

// Whether more than n bits are set; n is a small edit count, so clearing bits beats counting them.
bool moreBitsThan(uint64_t bits, int n)
{
    for (int i = 0; i < n && bits; ++i)
        bits &= bits - 1;
    return bits != 0;
}

// More cells than this and a box is answered by reading every record.
constexpr int64_t MaxCells = 4096;

} // namespace

GazetteerSegment::GazetteerSegment(const QString &file, std::span<const std::byte> bytes)
    : m_file(file), m_bytes(bytes), m_header(reinterpret_cast<const SegmentHeader *>(bytes.data()))
{
    if (bytes.size() < sizeof(SegmentHeader) || std::memcmp(m_header->magic, SegmentMagic, sizeof SegmentMagic) != 0
        || m_header->size != bytes.size())
        damaged();
    SegmentHeader copy;
    std::memcpy(&copy, m_header, sizeof copy);
    copy.headerCrc = 0;
    if (uint32_t(crc32(0, reinterpret_cast<const Bytef *>(&copy), sizeof copy)) != m_header->headerCrc)
        damaged();
    for (const SectionRange &r : m_header->sections)
        if (r.offset % 8 != 0 || r.offset > bytes.size() || r.size > bytes.size() - r.offset)
            damaged();

    m_strings = section<char16_t>(Strings);
    m_places = section<PlaceRow>(Places);
    m_placeNames = section<StringRef>(PlaceNames);
    m_placeIdentities = section<IdentityRow>(PlaceIdentities);
    m_placesByPopulation = section<uint32_t>(PlacesByPopulation);
    m_placeGrid = section<GridRow>(PlaceGrid);
    m_postcodes = section<PostcodeRow>(Postcodes);
    m_postcodeIdentities = section<IdentityRow>(PostcodeIdentities);
    m_streets = section<StreetRow>(Streets);
    m_pieces = section<PieceRow>(Pieces);
    m_points = section<PointRow>(Points);
    m_streetGrid = section<GridRow>(StreetGrid);
    m_addresses = section<AddressRow>(Addresses);
    m_placeKeys = keyIndex<PlaceHitRow>(PlaceKeyBytes);
    m_postcodeKeys = keyIndex<uint32_t>(PostcodeKeyBytes);
    m_streetKeys = keyIndex<uint32_t>(StreetKeyBytes);
    m_streetNarrowings = {section<NarrowEntry>(StreetNarrowEntries), section<NarrowRow>(StreetNarrowRows),
                          section<NarrowFence>(StreetNarrowFences)};
    m_addressKeys = keyIndex<uint32_t>(AddressKeyBytes);
    m_addressNarrowings = {section<NarrowEntry>(AddressNarrowEntries), section<NarrowRow>(AddressNarrowRows),
                           section<NarrowFence>(AddressNarrowFences)};
    m_folded = section<char>(FoldedKeys);
    m_typoKeys = section<uint32_t>(TypoKeys);
    m_typoHeads = typoIndex(TypoHeadBuckets);
    m_typoTails = typoIndex(TypoTailBuckets);
}

void GazetteerSegment::damaged() const
{
    throw GazetteerError(QStringLiteral("The gazetteer %1 is damaged. Import its sources again, or build the project again "
                                        "for the program's own gazetteer.").arg(m_file));
}

template<typename Row>
GazetteerSegment::Rows<Row> GazetteerSegment::section(Section s) const
{
    const SectionRange &r = m_header->sections[s];
    if (r.size % sizeof(Row) != 0 || r.offset % alignof(Row) != 0)
        damaged();
    return Rows<Row>(reinterpret_cast<const Row *>(m_bytes.data() + r.offset), r.size / sizeof(Row), this);
}

template<typename Id>
GazetteerSegment::KeyIndex<Id> GazetteerSegment::keyIndex(Section first) const
{
    KeyIndex<Id> k;
    k.bytes = section<char>(first);
    k.entries = section<KeyEntry>(Section(first + 1));
    k.table = section<uint64_t>(Section(first + 2));
    k.ids = section<Id>(Section(first + 3));
    if (k.table.size() != 0 && !std::has_single_bit(k.table.size()))
        damaged();
    return k;
}

GazetteerSegment::TypoIndex GazetteerSegment::typoIndex(Section first) const
{
    return {section<TypoBucket>(first), section<KeyShape>(Section(first + 1)), section<char>(Section(first + 2))};
}

QString GazetteerSegment::source() const
{
    const char *s = m_header->source;
    return QString::fromUtf8(s, qsizetype(strnlen(s, SourceNameBytes)));
}

QString GazetteerSegment::string(StringRef ref) const
{
    const std::span<const char16_t> head = m_strings.slice(ref, 1);
    const std::span<const char16_t> text = m_strings.slice(size_t(ref) + 1, head[0]);
    return QString::fromRawData(reinterpret_cast<const QChar *>(text.data()), qsizetype(text.size()));
}

template<typename Id>
std::string_view GazetteerSegment::KeyIndex<Id>::key(uint32_t entry) const
{
    const KeyEntry &e = entries[entry];
    const std::span<const char> k = bytes.slice(e.at, e.size);
    return {k.data(), k.size()};
}

template<typename Id>
std::span<const Id> GazetteerSegment::KeyIndex<Id>::idsOf(uint32_t entry) const
{
    const KeyEntry &e = entries[entry];
    return ids.slice(e.first, e.count);
}

template<typename Id>
int64_t GazetteerSegment::KeyIndex<Id>::entryOf(std::string_view k) const
{
    if (table.size() == 0)
        return -1;
    const uint64_t h = hashOf(k);
    const size_t mask = table.size() - 1;
    // A table is at most half full; a damaged one still ends its probe after one round.
    size_t i = h & mask;
    for (size_t probes = 0; probes < table.size(); ++probes, i = (i + 1) & mask) {
        const uint64_t slot = table[i];
        if (slot == 0)
            return -1;
        if ((slot ^ h) >> 32 == 0 && key(uint32_t(slot) - 1) == k)
            return int64_t(uint32_t(slot) - 1);
    }
    return -1;
}

template<typename Id>
std::span<const Id> GazetteerSegment::KeyIndex<Id>::find(std::string_view k) const
{
    const int64_t e = entryOf(k);
    return e < 0 ? std::span<const Id>() : idsOf(uint32_t(e));
}

std::span<const PlaceHitRow> GazetteerSegment::placesNamed(std::string_view key) const
{
    return m_placeKeys.find(key);
}

std::span<const uint32_t> GazetteerSegment::postcodesCoded(std::string_view key) const
{
    return m_postcodeKeys.find(key);
}

std::string_view GazetteerSegment::folded(uint32_t ref) const
{
    const std::span<const char> head = m_folded.slice(ref, 2);
    const size_t size = size_t(uint8_t(head[0])) | size_t(uint8_t(head[1])) << 8;
    const std::span<const char> key = m_folded.slice(size_t(ref) + 2, size);
    return {key.data(), key.size()};
}

size_t GazetteerSegment::Narrowings::lowerBound(const GazetteerSegment &segment, size_t first, size_t count, std::string_view key) const
{
    char padded[NarrowHeadBytes] = {};
    std::copy_n(key.begin(), std::min(key.size(), NarrowHeadBytes), padded);
    // A head read most significant byte first orders as its bytes do: one compare, not a memcmp call.
    static_assert(NarrowHeadBytes == 4);
    const auto value = [](const char *h) {
        uint32_t v;
        std::memcpy(&v, h, sizeof v);
        return __builtin_bswap32(v);
    };
    const uint32_t head = value(padded);
    const auto headOrder = [&](const char *h) { return int(value(h) > head) - int(value(h) < head); };
    // Keys hold no zero bytes, so the zero-padded heads order as the keys do where they differ.
    const auto before = [&](const NarrowRow &r, std::string_view k) {
        const uint32_t v = value(r.head);
        return v != head ? v < head : segment.folded(r.key) < k;
    };
    // The fences within the stretch: a row whose head is below the key's lies before it, one
    // whose head is above lies after it.
    size_t from = first, to = first + count;
    const size_t k0 = (from + NarrowFenceStride - 1) / NarrowFenceStride, k1 = (to + NarrowFenceStride - 1) / NarrowFenceStride;
    if (k0 < k1) {
        const std::span<const NarrowFence> f = fences.slice(k0, k1 - k0);
        const auto below = std::partition_point(f.begin(), f.end(), [&](const NarrowFence &x) { return headOrder(x.head) < 0; });
        const auto above = std::partition_point(below, f.end(), [&](const NarrowFence &x) { return headOrder(x.head) <= 0; });
        if (below != f.begin())
            from = (k0 + size_t(below - f.begin()) - 1) * NarrowFenceStride + 1;
        if (above != f.end())
            to = (k0 + size_t(above - f.begin())) * NarrowFenceStride;
    }
    const std::span<const NarrowRow> stretch = rows.slice(from, to - from);
    return from + size_t(std::lower_bound(stretch.begin(), stretch.end(), key, before) - stretch.begin());
}

template<typename Row>
std::vector<uint32_t> GazetteerSegment::narrowed(const KeyIndex<uint32_t> &index, const Narrowings &narrowings, const Rows<Row> &records,
                                                 std::string_view key, const Narrowing &n) const
{
    const int64_t entry = index.entryOf(key);
    if (entry < 0)
        return {};
    const std::span<const uint32_t> ids = index.idsOf(uint32_t(entry));
    const auto all = [&] { return std::vector<uint32_t>(ids.begin(), ids.end()); };
    if (!n.byPostcode && !n.byCity)
        return all();
    const NarrowEntry &e = narrowings.entries[size_t(entry)];
    if (e.count == 0 && n.byPostcode) {
        // A small key: its records' own postcode keys, which many records share, tell without
        // reading the records' texts.
        std::vector<uint32_t> out;
        for (uint32_t id : ids)
            if (folded(records[id].postcodeKey).starts_with(n.postcodePrefix))
                out.push_back(id);
        return out;
    }
    if (e.count == 0)
        return all();
    const std::span<const NarrowRow> rows = narrowings.rows.slice(e.first, size_t(e.count) * 3);
    std::vector<uint32_t> out;
    if (n.byPostcode) {
        const std::span<const NarrowRow> byPostcode = rows.first(e.count);
        for (size_t i = narrowings.lowerBound(*this, e.first, e.count, n.postcodePrefix) - e.first;
             i < byPostcode.size() && folded(byPostcode[i].key).starts_with(n.postcodePrefix); ++i)
            out.push_back(byPostcode[i].id);
    } else {
        const std::span<const NarrowRow> byCity = rows.subspan(e.count, e.count);
        for (size_t i = narrowings.lowerBound(*this, size_t(e.first) + e.count, e.count, n.cityKey) - e.first - e.count;
             i < byCity.size() && folded(byCity[i].key) == n.cityKey; ++i)
            out.push_back(byCity[i].id);
        // Within nearKm of a point: the cells of a box that holds that circle. The great circle
        // is never shorter than the difference in latitude; across, a margin covers the pole side.
        // A record of the box outside every circle is one of another city, which the city rows
        // above hold if its city is the one given: measured here, it costs no read of its texts.
        const std::span<const NarrowRow> bySpace = rows.subspan(2 * size_t(e.count), e.count);
        const auto inCircle = [&](uint32_t id) {
            const Row &r = records[id];
            return std::any_of(n.near.begin(), n.near.end(), [&](const std::pair<double, double> &p) {
                return GreatCircle::distanceKm(r.latitude, r.longitude, p.first, p.second) < n.nearKm;
            });
        };
        const double dLat = n.nearKm / 111.0 + 0.01;
        for (const auto &[lat, lon] : n.near) {
            const double widest = std::abs(lat) + dLat;
            if (!(widest < 80))
                return all();
            const double dLon = dLat / std::cos(widest * M_PI / 180) * 1.1;
            if (lon - dLon < -180 || lon + dLon > 180)
                return all();
            const auto cell = [](double degrees) { return int64_t(std::floor(degrees / NarrowCellDegrees)); };
            for (int64_t y = cell(lat - dLat); y <= cell(lat + dLat); ++y)
                for (int64_t x = cell(lon - dLon); x <= cell(lon + dLon); ++x) {
                    const uint32_t c = narrowCell(y, x);
                    auto at = std::lower_bound(bySpace.begin(), bySpace.end(), c, [](const NarrowRow &r, uint32_t v) { return r.key < v; });
                    for (; at != bySpace.end() && at->key == c; ++at)
                        if (inCircle(at->id))
                            out.push_back(at->id);
                }
        }
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

std::vector<uint32_t> GazetteerSegment::streetsNamed(std::string_view key, const Narrowing &narrowing) const
{
    return narrowed(m_streetKeys, m_streetNarrowings, m_streets, key, narrowing);
}

std::vector<uint32_t> GazetteerSegment::addressesAt(std::string_view key, const Narrowing &narrowing) const
{
    return narrowed(m_addressKeys, m_addressNarrowings, m_addresses, key, narrowing);
}

const TypoBucket *GazetteerSegment::TypoIndex::bucket(uint32_t code) const
{
    const std::span<const TypoBucket> all = buckets.span();
    const auto it = std::lower_bound(all.begin(), all.end(), code, [](const TypoBucket &b, uint32_t c) { return b.code < c; });
    return it != all.end() && it->code == code ? &*it : nullptr;
}

void GazetteerSegment::placesNamedLike(const std::string &nameKey, int maxEdits,
                                       std::vector<std::pair<PlaceHitRow, int>> &out) const
{
    if (nameKey.size() < 4)
        return;
    const uint64_t letters = letterBits(nameKey);
    const uint32_t shortest = uint32_t(std::max<int>(0, int(nameKey.size()) - maxEdits));
    const uint32_t longest = uint32_t(nameKey.size()) + uint32_t(maxEdits);
    const std::string_view typed(nameKey);
    std::vector<std::pair<uint32_t, int>> near;
    // A key in both buckets is measured once: the tail scan passes over keys with the same head,
    // which the head scan has seen. Within a bucket the keys are measured by length but reported
    // in the index's order.
    auto scan = [&](std::string_view code, const TypoIndex &index, bool skipSameHead) {
        const TypoBucket *bucket = index.bucket(bucketCode(code));
        if (!bucket)
            return;
        const std::span<const KeyShape> shapes = index.shapes.slice(bucket->firstShape, bucket->shapeCount);
        const std::span<const char> bytes = index.bytes.slice(bucket->bytesAt, bucket->bytesSize);
        auto shape = std::lower_bound(shapes.begin(), shapes.end(), shortest,
                                      [](const KeyShape &s, uint32_t size) { return s.size < size; });
        near.clear();
        for (; shape != shapes.end() && shape->size <= longest; ++shape) {
            if (moreBitsThan(letters & ~shape->letters, maxEdits) || moreBitsThan(shape->letters & ~letters, maxEdits))
                continue;
            if (shape->at > bytes.size() || shape->size > bytes.size() - shape->at)
                damaged();
            const std::string_view key(bytes.data() + shape->at, shape->size);
            if (key == typed || (skipSameHead && key.substr(0, 2) == typed.substr(0, 2)))
                continue;
            const int d = TextKey::editDistance(nameKey, key, maxEdits);
            if (d <= maxEdits)
                near.emplace_back(shape->key, d);
        }
        std::sort(near.begin(), near.end());
        for (const auto &[k, d] : near)
            for (const PlaceHitRow &hit : m_placeKeys.idsOf(m_typoKeys[k]))
                out.emplace_back(hit, d);
    };
    scan(typed.substr(0, 2), m_typoHeads, false);
    scan(typed.substr(typed.size() - 3), m_typoTails, true);
}

namespace {

const IdentityRow *identityIn(std::span<const IdentityRow> rows, uint64_t identity)
{
    const auto it = std::lower_bound(rows.begin(), rows.end(), identity,
                                     [](const IdentityRow &r, uint64_t i) { return r.identity < i; });
    return it != rows.end() && it->identity == identity ? &*it : nullptr;
}

} // namespace

const PlaceRow *GazetteerSegment::placeWithIdentity(uint64_t identity) const
{
    const IdentityRow *r = identityIn(m_placeIdentities.span(), identity);
    return r ? &m_places[r->id] : nullptr;
}

const PostcodeRow *GazetteerSegment::postcodeWithIdentity(uint64_t identity) const
{
    const IdentityRow *r = identityIn(m_postcodeIdentities.span(), identity);
    return r ? &m_postcodes[r->id] : nullptr;
}

bool GazetteerSegment::near(const Rows<GridRow> &grid, double cellDegrees, double south, double west, double north,
                            double east, std::vector<uint32_t> &out) const
{
    if (!(south <= north && west <= east) || !std::isfinite(south) || !std::isfinite(north) || !std::isfinite(west)
        || !std::isfinite(east))
        return false;
    const int64_t y0 = int64_t(std::floor(south / cellDegrees)), y1 = int64_t(std::floor(north / cellDegrees));
    const int64_t x0 = int64_t(std::floor(west / cellDegrees)), x1 = int64_t(std::floor(east / cellDegrees));
    if ((y1 - y0 + 1) * (x1 - x0 + 1) > MaxCells)
        return false;
    const std::span<const GridRow> rows = grid.span();
    for (int64_t y = y0; y <= y1; ++y) {
        auto it = std::lower_bound(rows.begin(), rows.end(), cellOf(y, x0), [](const GridRow &r, uint64_t c) { return r.cell < c; });
        const uint64_t last = cellOf(y, x1);
        for (; it != rows.end() && it->cell <= last; ++it)
            out.push_back(it->id);
    }
    for (auto it = std::lower_bound(rows.begin(), rows.end(), LargeCell, [](const GridRow &r, uint64_t c) { return r.cell < c; });
         it != rows.end(); ++it)
        out.push_back(it->id);
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return true;
}

bool GazetteerSegment::placesNear(double south, double west, double north, double east, std::vector<uint32_t> &out) const
{
    return near(m_placeGrid, PlaceCellDegrees, south, west, north, east, out);
}

bool GazetteerSegment::streetsNear(double south, double west, double north, double east, std::vector<uint32_t> &out) const
{
    return near(m_streetGrid, StreetCellDegrees, south, west, north, east, out);
}

} // namespace Engine
