#pragma once
// The gazetteer as the engine uses it: every record of the shipped store and the user's store,
// held in memory with hash indexes over folded keys, so that a lookup never touches SQLite.

#include "GazetteerError.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace Engine {

struct GeoBox { double south, west, north, east; };
struct PlaceLabel { QString name; double latitude, longitude; qint64 population; };
struct StreetLine { QString name; std::vector<std::pair<double, double>> latLon; };

// A populated place (GeoNames or OSM place node).
struct PlaceRecord {
    QString country;   // ISO 3166 alpha-2
    QString name;
    QString admin1;    // state / province code as the source gives it
    double latitude = 0, longitude = 0;
    qint64 population = 0;
};

// A postcode area or district with its centroid.
struct PostcodeRecord {
    QString country;
    QString code;      // as written in the country ("K1A", "02134", "SW1A 1AA")
    QString place;     // the place the postcode serves
    QString admin1;    // state / province abbreviation where known
    double latitude = 0, longitude = 0;
    int kind = 12;     // 12 postcode area, 13 postcode district
};

// One street of one postcode and place; pieces are the ways it is drawn with.
struct StreetRecord {
    QString country, name, postcode, city;
    double latitude = 0, longitude = 0;   // a point on the street
    GeoBox bounds{};
    std::vector<std::vector<std::pair<double, double>>> pieces;
};

struct AddressRecord {
    QString country, street, houseNumber, postcode, city;
    double latitude = 0, longitude = 0;
};

class Gazetteer {
public:
    // The shipped gazetteer ($ORVANE_GAZETTEER, else share/orvane/gazetteer.sqlite beside the
    // program's bin/ folder, else gazetteer.sqlite next to the program) together with the user's
    // ($ORVANE_USER_GAZETTEER, else $XDG_DATA_HOME/Orvane/gazetteer.sqlite) when it exists.
    // Throws GazetteerError when the shipped file cannot be found or read.
    static std::shared_ptr<const Gazetteer> openDefault();
    // Every file must exist and be a gazetteer; throws GazetteerError naming the file otherwise.
    static std::shared_ptr<const Gazetteer> open(const QStringList &files);

    static QString shippedFile();   // where openDefault looks (may not exist)
    static QString userFile();      // where imports go by default (may not exist)

    // Places inside the box, largest first.
    std::vector<PlaceLabel> placesIn(const GeoBox &box, qint64 minPopulation, int limit) const;
    std::vector<StreetLine> streetsIn(const GeoBox &box, int limit) const;
    // The place a point most likely belongs to: within 15 km, larger places reaching farther
    // (a quarter of Oakland belongs to Oakland, not to the nearest suburb). Null when none.
    const PlaceRecord *placeServing(double latitude, double longitude) const;

    const std::vector<PlaceRecord> &places() const { return m_places; }
    const std::vector<PostcodeRecord> &postcodes() const { return m_postcodes; }
    const std::vector<StreetRecord> &streets() const { return m_streets; }
    const std::vector<AddressRecord> &addresses() const { return m_addresses; }

    // A place found by one of its names: name 0 is the main name, n the (n-1)th alternate.
    struct PlaceHit { uint32_t place; uint16_t name; };
    const QString &placeName(const PlaceHit &hit) const;
    // The place's name written as text (ignoring case), or nullptr.
    const QString *placeNameWritten(uint32_t place, const QString &text) const;

    // Record indexes by folded key (see TextKey); empty when nothing carries the key.
    std::span<const PlaceHit> placesNamed(const std::string &nameKey) const;
    std::span<const uint32_t> postcodesCoded(const std::string &countryAndCodeKey) const;
    std::span<const uint32_t> streetsNamed(const std::string &countryAndNameKey) const;
    std::span<const uint32_t> addressesAt(const std::string &countryStreetNumberKey) const;
    // Places with a name key within maxEdits typing errors of nameKey (but not equal), with the
    // number of edits.
    std::vector<std::pair<PlaceHit, int>> placesNamedLike(const std::string &nameKey, int maxEdits) const;

private:
    // The keys side by side with an open-addressing table over them: a lookup reads one slot and
    // one entry, and builds no key of its own.
    template<typename Id> struct KeyIndex {
        struct Entry { uint32_t at, size, first, count; };
        std::string keys;
        std::vector<Entry> entries;   // in key order
        std::vector<uint64_t> table;  // high half of the key's hash, entry number + 1; 0 is free
        std::vector<Id> ids;
        void build(std::vector<std::pair<std::string, Id>> &&pairs);
        std::span<const Id> find(std::string_view key) const;
        std::string_view key(uint32_t entry) const { return {keys.data() + entries[entry].at, entries[entry].size}; }
        std::span<const Id> idsOf(uint32_t entry) const
        {
            return std::span<const Id>(ids.data() + entries[entry].first, entries[entry].count);
        }
    };
    struct StreetPiece {
        QString country, name, postcode, city;
        std::vector<std::pair<double, double>> latLon;
    };
    // The slots map source record ids to the records already loaded from earlier files.
    void load(const QString &file, std::vector<StreetPiece> &pieces, QHash<QString, uint32_t> &placeSlots,
              QHash<QString, uint32_t> &postcodeSlots, bool moreFiles);
    void buildStreets(std::vector<StreetPiece> &&pieces);
    void buildIndexes();

    std::vector<PlaceRecord> m_places;
    std::vector<std::vector<QString>> m_placeNames;   // alternate names per place
    std::vector<PostcodeRecord> m_postcodes;
    std::vector<StreetRecord> m_streets;
    std::vector<AddressRecord> m_addresses;
    std::vector<uint32_t> m_placesByPopulation;
    KeyIndex<PlaceHit> m_placeIndex;
    KeyIndex<uint32_t> m_postcodeIndex, m_streetIndex, m_addressIndex;
    // Fuzzy candidates: the place index's keys, bucketed by their first two and last three bytes.
    // Each bucket entry carries its key's length and the letters it holds, so that most keys are
    // ruled out in one pass over the bucket without reading them; the bucket holds a copy of its
    // keys side by side, so that those that are read come from memory read just before.
    struct KeyShape { uint64_t letters; uint32_t size; uint32_t key; uint32_t at; };
    struct KeyBucket { std::vector<KeyShape> shapes; std::string bytes; };
    std::vector<uint32_t> m_placeKeys;   // entries of the place index
    std::unordered_map<std::string, KeyBucket> m_keysByHead, m_keysByTail;
};

} // namespace Engine
