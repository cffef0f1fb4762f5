#pragma once
// The gazetteer as the engine uses it: the shipped file and the user's, each mapped into memory
// and read in place, segment by segment (one per imported source). Opening reads their headers;
// a lookup touches only the pages of the keys and records it reads, so the cost of opening does
// not grow with the number of records. Records handed out hold their texts as views of the
// mapping: they are valid while the gazetteer is.

#include "GazetteerError.h"
#include "GazetteerFiles.h"

#include <LocationKind.h>

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace Engine {

class GazetteerSegment;
class MappedFile;

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
    LocationKind kind = LocationKind::PostcodeArea;   // or a district
    // Located at the place it serves rather than at the area: it tells which place a postcode
    // belongs to, not where the area lies.
    bool atPlace = false;
};

// One street of one postcode and place, drawn with one or more pieces (streetPieces).
struct StreetRecord {
    QString country, name, postcode, city;
    double latitude = 0, longitude = 0;   // a point on the street
    GeoBox bounds{};
    std::string_view postcodeKey;         // as TextKey::postcode folds it; a view of the mapping
};

struct AddressRecord {
    QString country, street, houseNumber, postcode, city;
    double latitude = 0, longitude = 0;
    std::string_view postcodeKey;
    bool postcodeInferred = false;   // the source gave none; it is its street's or postcode area's
};

// A record's text copied so that it owns its characters, for what outlives the gazetteer. A text
// built from records (a display name) owns them already and is not copied again.
inline QString ownedText(const QString &s)
{
    return s.isNull() ? QString() : s.isDetached() ? s : QString(s.constData(), s.size());
}

// Which of a street's records a lookup can use: those whose postcode key starts with a prefix,
// or those whose city key is given or that lie within a distance of given points. The records
// handed out include every such record, in record order, and maybe others.
struct Narrowing {
    bool byPostcode = false;
    std::string_view postcodePrefix;
    bool byCity = false;
    std::string_view cityKey;
    std::vector<std::pair<double, double>> near;
    double nearKm = 0;
};

class Gazetteer {
public:
    // The program's gazetteer with the user's when that exists. Throws GazetteerError when the
    // program's own cannot be found or read.
    static std::shared_ptr<const Gazetteer> openDefault(const GazetteerFiles &files);
    // Every file must exist and be a gazetteer of this version; throws GazetteerError naming the
    // file otherwise. Records of a later file replace those of an earlier one that come from the
    // same source record (places) or name the same country, code and place (postcodes).
    static std::shared_ptr<const Gazetteer> open(const QStringList &files);
    ~Gazetteer();

    // Every record by number, across the files; replaced records keep their numbers.
    template<typename Record, Record (Gazetteer::*Get)(uint32_t) const> class Records {
    public:
        explicit Records(const Gazetteer &g, uint32_t size) : m_g(g), m_size(size) {}
        uint32_t size() const { return m_size; }
        Record operator[](uint32_t i) const { return (m_g.*Get)(i); }
        class Iterator {
        public:
            Iterator(const Gazetteer &g, uint32_t i) : m_g(g), m_i(i) {}
            Record operator*() const { return (m_g.*Get)(m_i); }
            Iterator &operator++() { ++m_i; return *this; }
            bool operator!=(const Iterator &o) const { return m_i != o.m_i; }
        private:
            const Gazetteer &m_g;
            uint32_t m_i;
        };
        Iterator begin() const { return {m_g, 0}; }
        Iterator end() const { return {m_g, m_size}; }
    private:
        const Gazetteer &m_g;
        uint32_t m_size;
    };
    PlaceRecord place(uint32_t place) const;
    PostcodeRecord postcode(uint32_t postcode) const;
    StreetRecord street(uint32_t street) const;
    AddressRecord address(uint32_t address) const;
    Records<PlaceRecord, &Gazetteer::place> places() const { return Records<PlaceRecord, &Gazetteer::place>(*this, m_placeCount); }
    Records<PostcodeRecord, &Gazetteer::postcode> postcodes() const
    {
        return Records<PostcodeRecord, &Gazetteer::postcode>(*this, m_postcodeCount);
    }
    Records<StreetRecord, &Gazetteer::street> streets() const { return Records<StreetRecord, &Gazetteer::street>(*this, m_streetCount); }
    Records<AddressRecord, &Gazetteer::address> addresses() const
    {
        return Records<AddressRecord, &Gazetteer::address>(*this, m_addressCount);
    }
    std::vector<std::vector<std::pair<double, double>>> streetPieces(uint32_t street) const;

    // Places inside the box, largest first.
    std::vector<PlaceLabel> placesIn(const GeoBox &box, qint64 minPopulation, int limit) const;
    std::vector<StreetLine> streetsIn(const GeoBox &box, int limit) const;
    // The place a point most likely belongs to: within 15 km, larger places reaching farther
    // (a quarter of Oakland belongs to Oakland, not to the nearest suburb). None when none.
    std::optional<PlaceRecord> placeServing(double latitude, double longitude) const;

    // A place found by one of its names: name 0 is the main name, n the (n-1)th alternate.
    struct PlaceHit { uint32_t place; uint16_t name; };
    QString placeName(const PlaceHit &hit) const;
    // The place's name written as text (ignoring case), or a null string.
    QString placeNameWritten(uint32_t place, const QString &text) const;
    // Every name of the place, its main name first.
    QStringList placeNames(uint32_t place) const;

    // Record numbers by folded key (see TextKey), replaced records left out; empty when nothing
    // carries the key.
    std::vector<PlaceHit> placesNamed(const std::string &nameKey) const;
    // Places with a name of several words whose first word has the key (see TextKey::nameWords).
    std::vector<PlaceHit> placesNamedFirst(const std::string &firstWordKey) const;
    std::vector<uint32_t> postcodesCoded(const std::string &countryAndCodeKey) const;
    std::vector<uint32_t> streetsNamed(const std::string &countryAndNameKey, const Narrowing &narrowing = {}) const;
    // countryStreetNumberKey: country and street key, '#', house number key.
    std::vector<uint32_t> addressesAt(const std::string &countryStreetNumberKey, const Narrowing &narrowing = {}) const;
    // Places with a name key within maxEdits typing errors of nameKey (but not equal), with the
    // number of edits.
    std::vector<std::pair<PlaceHit, int>> placesNamedLike(const std::string &nameKey, int maxEdits) const;

    // What each file holds, source by source, in the order they are read.
    struct Source {
        QString file, name;
        QDateTime imported;
        uint64_t objectsRead, places, postcodes, streets, addresses;
    };
    std::vector<Source> sources() const;

private:
    struct Part;
    Gazetteer();
    void add(std::unique_ptr<MappedFile> file);
    // The part holding record number n of a kind (its base is the part's first number).
    template<uint32_t Part::*Base> const Part &partOf(uint32_t n) const;
    // Whether a later part holds a record of the same identity, which then stands for it.
    template<typename Row, const Row *(GazetteerSegment::*WithIdentity)(uint64_t) const>
    bool replacedLater(size_t part, uint64_t identity) const;
    bool placeReplaced(size_t part, uint64_t identity) const;
    bool postcodeReplaced(size_t part, uint64_t identity) const;

    std::vector<std::unique_ptr<MappedFile>> m_files;
    std::vector<Part> m_parts;
    uint32_t m_placeCount = 0, m_postcodeCount = 0, m_streetCount = 0, m_addressCount = 0;
};

} // namespace Engine
