#pragma once
// The gazetteer as the engine uses it: every record of the shipped store and the user's store,
// held in memory with hash indexes over folded keys, so that a lookup never touches SQLite.

#include "GazetteerError.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <span>
#include <string>
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

    const std::vector<PlaceRecord> &places() const { return m_places; }
    const std::vector<PostcodeRecord> &postcodes() const { return m_postcodes; }
    const std::vector<StreetRecord> &streets() const { return m_streets; }
    const std::vector<AddressRecord> &addresses() const { return m_addresses; }

    // Record indexes by folded key (see TextKey); empty when nothing carries the key.
    std::span<const uint32_t> placesNamed(const std::string &nameKey) const;
    std::span<const uint32_t> postcodesCoded(const std::string &countryAndCodeKey) const;
    std::span<const uint32_t> streetsNamed(const std::string &countryAndNameKey) const;
    std::span<const uint32_t> addressesAt(const std::string &countryStreetNumberKey) const;
    // Place indexes whose name keys are within maxEdits typing errors of nameKey, nearest first.
    std::vector<std::pair<uint32_t, int>> placesNamedLike(const std::string &nameKey, int maxEdits) const;

private:
    struct KeyIndex {
        std::unordered_map<std::string, std::pair<uint32_t, uint32_t>> ranges;
        std::vector<uint32_t> ids;
        void build(std::vector<std::pair<std::string, uint32_t>> &&pairs);
        std::span<const uint32_t> find(const std::string &key) const;
    };
    void load(const QString &file);
    void buildIndexes();

    std::vector<PlaceRecord> m_places;
    std::vector<std::vector<QString>> m_placeNames;   // alternate names per place
    std::vector<PostcodeRecord> m_postcodes;
    std::vector<StreetRecord> m_streets;
    std::vector<AddressRecord> m_addresses;
    std::vector<uint32_t> m_placesByPopulation;
    KeyIndex m_placeIndex, m_postcodeIndex, m_streetIndex, m_addressIndex;
    // Fuzzy candidates: name keys bucketed by their first two and by their last three bytes.
    std::unordered_map<std::string, std::vector<std::string>> m_keysByHead, m_keysByTail;
};

} // namespace Engine
