#pragma once
// The records of one imported source, gathered in compact rows (texts kept once in a pool), and
// written as one gazetteer segment with its indexes: streets assembled from their ways, folded
// keys, the typo buckets, the population order and the grids.

#include "GazetteerFormat.h"
#include "SpillAllocator.h"

#include <QString>
#include <QStringView>

#include <cstdint>
#include <span>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace Engine {

class ImportProgress;
class OutputFile;
struct PlaceRecord;
struct PostcodeRecord;
struct AddressRecord;

class SegmentBuilder {
public:
    // The large arrays are kept in work files in spillFolder.
    SegmentBuilder(QString source, const QString &spillFolder);

    // A record of the same source record (places) or the same country, code and place
    // (postcodes) replaces the one put before.
    void putPlace(const QString &source, const QString &sourceId, const PlaceRecord &place, const QString &alternates);
    void putPostcode(const PostcodeRecord &postcode);
    void putStreet(const QString &country, const QString &name, const QString &postcode, const QString &city,
                   const std::vector<std::pair<double, double>> &latLon);
    void putAddress(const AddressRecord &address);
    void setObjectsRead(uint64_t objects) { m_objectsRead = objects; }

    // The same for importers that keep their records as rows over this builder's texts.
    GazetteerFormat::StringRef intern(QStringView text) { return m_strings.intern(text); }
    QString text(GazetteerFormat::StringRef ref) const { return m_strings.text(ref); }
    struct StreetTexts { GazetteerFormat::StringRef country, name, postcode, city; };
    void putStreet(const StreetTexts &texts, std::span<const GazetteerFormat::PointRow> points);
    void putAddresses(SpillVector<GazetteerFormat::AddressRow> &&rows);
    const QString &spillFolder() const { return m_spillFolder; }

    const QString &source() const { return m_source; }

    // Writes the segment at the file's position, which must be aligned; returns its size.
    uint64_t write(OutputFile &out, int64_t importedAt, ImportProgress &progress);

private:
    class StringPool {
    public:
        StringPool();
        GazetteerFormat::StringRef intern(QStringView text);
        QString text(GazetteerFormat::StringRef ref) const;
        const std::vector<char16_t> &units() const { return m_units; }

    private:
        void grow();
        std::vector<char16_t> m_units;
        std::vector<uint32_t> m_table;   // refs + 1 by hash of their text; 0 is free
        size_t m_count = 0;
    };
    struct Piece {
        GazetteerFormat::StringRef country, name, postcode, city;
        uint32_t firstPoint, pointCount;
    };
    struct AssembledStreets;

    void buildStreets(AssembledStreets &out) const;
    const std::string &nameKey(GazetteerFormat::StringRef ref) const;

    QString m_source;
    QString m_spillFolder;
    uint64_t m_objectsRead = 0;
    StringPool m_strings;
    std::vector<GazetteerFormat::PlaceRow> m_places;
    std::vector<bool> m_placeReplaced;
    std::vector<GazetteerFormat::StringRef> m_placeNames;
    std::unordered_map<uint64_t, uint32_t> m_placeByIdentity;
    std::vector<GazetteerFormat::PostcodeRow> m_postcodes;
    std::vector<bool> m_postcodeReplaced;
    std::unordered_map<uint64_t, uint32_t> m_postcodeByIdentity;
    SpillVector<Piece> m_pieces;
    SpillVector<GazetteerFormat::PointRow> m_points;
    SpillVector<GazetteerFormat::AddressRow> m_addresses;
    mutable std::unordered_map<GazetteerFormat::StringRef, std::string> m_nameKeys;
};

} // namespace Engine
