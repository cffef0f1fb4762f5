#pragma once
// OpenStreetMap extracts (.osm, .osm.bz2, .osm.gz, .osm.pbf): named streets with their postcode and
// place, address points (addr:* on nodes and buildings), postcode areas (boundary=postal_code, else
// the centroid of the addresses that carry the postcode) and place nodes.

#include <QString>

#include <functional>

namespace Engine {

class GazetteerStore;
struct PlaceRecord;

class OsmImporter {
public:
    // The known place a point belongs to (see Gazetteer::placeServing), for the country of data
    // whose addresses do not name it and the city of streets and addresses the data leaves
    // without one. Null when none is known.
    using PlaceAt = std::function<const PlaceRecord *(double latitude, double longitude)>;

    OsmImporter(GazetteerStore &store, QString country, PlaceAt placeAt)
        : m_store(store), m_country(std::move(country)), m_placeAt(std::move(placeAt)) {}
    // Returns the number of OSM objects read; throws GazetteerError naming the file.
    qint64 importFile(const QString &file);
    static bool handles(const QString &file);

private:
    GazetteerStore &m_store;
    QString m_country;
    PlaceAt m_placeAt;
};

} // namespace Engine
