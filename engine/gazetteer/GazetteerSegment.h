#pragma once
// One segment of a mapped gazetteer file: the records of one imported source and their indexes,
// read in place. Opening checks the segment's header and that every section lies inside the
// segment; every later read checks the index it follows, so that a damaged file fails with a
// GazetteerError naming it instead of reading outside the mapping.

#include "Gazetteer.h"
#include "GazetteerFormat.h"

#include <QString>

#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace Engine {

class GazetteerSegment {
public:
    // bytes: the segment inside the mapping of file.
    GazetteerSegment(const QString &file, std::span<const std::byte> bytes);

    template<typename Row> class Rows {
    public:
        Rows() = default;
        Rows(const Row *data, size_t size, const GazetteerSegment *segment) : m_data(data), m_size(size), m_segment(segment) {}
        size_t size() const { return m_size; }
        const Row &operator[](size_t i) const
        {
            if (i >= m_size)
                m_segment->damaged();
            return m_data[i];
        }
        std::span<const Row> span() const { return {m_data, m_size}; }
        // Rows first .. first + count, checked against the section.
        std::span<const Row> slice(size_t first, size_t count) const
        {
            if (first > m_size || count > m_size - first)
                m_segment->damaged();
            return {m_data + first, count};
        }

    private:
        const Row *m_data = nullptr;
        size_t m_size = 0;
        const GazetteerSegment *m_segment = nullptr;
    };

    QString source() const;
    int64_t importedAt() const { return m_header->importedAt; }
    uint64_t objectsRead() const { return m_header->objectsRead; }

    // Raw views of the mapping: valid while the mapping is.
    QString string(GazetteerFormat::StringRef ref) const;
    // A folded key (FoldedKeys offset), as the rows and narrowings refer to them.
    std::string_view folded(uint32_t ref) const;

    const Rows<GazetteerFormat::PlaceRow> &places() const { return m_places; }
    const Rows<GazetteerFormat::PostcodeRow> &postcodes() const { return m_postcodes; }
    const Rows<GazetteerFormat::StreetRow> &streets() const { return m_streets; }
    const Rows<GazetteerFormat::AddressRow> &addresses() const { return m_addresses; }
    const Rows<uint32_t> &placesByPopulation() const { return m_placesByPopulation; }
    std::span<const GazetteerFormat::StringRef> alternates(const GazetteerFormat::PlaceRow &p) const
    {
        return m_placeNames.slice(p.firstName, p.nameCount);
    }
    std::span<const GazetteerFormat::PieceRow> pieces(const GazetteerFormat::StreetRow &s) const
    {
        return m_pieces.slice(s.firstPiece, s.pieceCount);
    }
    std::span<const GazetteerFormat::PointRow> points(const GazetteerFormat::PieceRow &p) const
    {
        return m_points.slice(p.firstPoint, p.pointCount);
    }

    std::span<const GazetteerFormat::PlaceHitRow> placesNamed(std::string_view key) const;
    std::span<const uint32_t> postcodesCoded(std::string_view key) const;
    // See Narrowing.
    std::vector<uint32_t> streetsNamed(std::string_view key, const Narrowing &narrowing) const;
    std::vector<uint32_t> addressesAt(std::string_view key, const Narrowing &narrowing) const;

    // Place hits with a name key within maxEdits of key (but not equal), with the edits.
    void placesNamedLike(const std::string &key, int maxEdits, std::vector<std::pair<GazetteerFormat::PlaceHitRow, int>> &out) const;

    // The record with this identity, if the segment has one.
    const GazetteerFormat::PlaceRow *placeWithIdentity(uint64_t identity) const;
    const GazetteerFormat::PostcodeRow *postcodeWithIdentity(uint64_t identity) const;

    // Records in the grid cells covering a box, in record order; false when the box covers so
    // many cells that reading every record is cheaper.
    bool placesNear(double south, double west, double north, double east, std::vector<uint32_t> &out) const;
    bool streetsNear(double south, double west, double north, double east, std::vector<uint32_t> &out) const;

    [[noreturn]] void damaged() const;

private:
    template<typename Id> struct KeyIndex {
        Rows<char> bytes;
        Rows<GazetteerFormat::KeyEntry> entries;
        Rows<uint64_t> table;
        Rows<Id> ids;
        std::span<const Id> find(std::string_view key) const;
        int64_t entryOf(std::string_view key) const;
        std::string_view key(uint32_t entry) const;
        std::span<const Id> idsOf(uint32_t entry) const;
    };
    struct TypoIndex {
        Rows<GazetteerFormat::TypoBucket> buckets;
        Rows<GazetteerFormat::KeyShape> shapes;
        Rows<char> bytes;
        const GazetteerFormat::TypoBucket *bucket(uint32_t code) const;
    };
    struct Narrowings {
        Rows<GazetteerFormat::NarrowEntry> entries;
        Rows<GazetteerFormat::NarrowRow> rows;
        Rows<GazetteerFormat::NarrowFence> fences;
        // The first of rows first .. first + count (sorted by key) that is not before key.
        size_t lowerBound(const GazetteerSegment &segment, size_t first, size_t count, std::string_view key) const;
    };
    template<typename Row>
    std::vector<uint32_t> narrowed(const KeyIndex<uint32_t> &index, const Narrowings &narrowings, const Rows<Row> &records,
                                   std::string_view key, const Narrowing &narrowing) const;
    template<typename Row> Rows<Row> section(GazetteerFormat::Section s) const;
    template<typename Id> KeyIndex<Id> keyIndex(GazetteerFormat::Section first) const;
    TypoIndex typoIndex(GazetteerFormat::Section first) const;
    bool near(const Rows<GazetteerFormat::GridRow> &grid, double cellDegrees, double south, double west, double north,
              double east, std::vector<uint32_t> &out) const;

    QString m_file;
    std::span<const std::byte> m_bytes;
    const GazetteerFormat::SegmentHeader *m_header;
    Rows<char16_t> m_strings;
    Rows<GazetteerFormat::PlaceRow> m_places;
    Rows<GazetteerFormat::StringRef> m_placeNames;
    Rows<GazetteerFormat::IdentityRow> m_placeIdentities, m_postcodeIdentities;
    Rows<uint32_t> m_placesByPopulation;
    Rows<GazetteerFormat::GridRow> m_placeGrid, m_streetGrid;
    Rows<GazetteerFormat::PostcodeRow> m_postcodes;
    Rows<GazetteerFormat::StreetRow> m_streets;
    Rows<GazetteerFormat::PieceRow> m_pieces;
    Rows<GazetteerFormat::PointRow> m_points;
    Rows<GazetteerFormat::AddressRow> m_addresses;
    KeyIndex<GazetteerFormat::PlaceHitRow> m_placeKeys;
    KeyIndex<uint32_t> m_postcodeKeys, m_streetKeys, m_addressKeys;
    Narrowings m_streetNarrowings, m_addressNarrowings;
    Rows<char> m_folded;
    Rows<uint32_t> m_typoKeys;         // place key entries, in the order typo candidates are answered
    TypoIndex m_typoHeads, m_typoTails;
};

} // namespace Engine
