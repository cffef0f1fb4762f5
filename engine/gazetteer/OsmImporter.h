#pragma once
// OpenStreetMap extracts (.osm, .osm.bz2, .osm.gz, .osm.pbf): named streets with their postcode and
// place, address points (addr:* on nodes and buildings), postcode areas (boundary=postal_code, else
// the centroid of the addresses that carry the postcode) and place nodes.

#include "Gazetteer.h"

#include <QString>

#include <functional>
#include <optional>

namespace Engine {

class GazetteerStore;
class ImportProgress;

class OsmImporter {
public:
    // The known place a point belongs to (see Gazetteer::placeServing), for the country of data
    // whose addresses do not name it and the city of streets and addresses the data leaves
    // without one. None when none is known.
    using PlaceAt = std::function<std::optional<PlaceRecord>(double latitude, double longitude)>;

    OsmImporter(GazetteerStore &store, QString country, PlaceAt placeAt)
        : m_store(store), m_country(std::move(country)), m_placeAt(std::move(placeAt)) {}
    // Returns the number of OSM objects read; throws GazetteerError naming the file.
    qint64 importFile(const QString &file, ImportProgress &progress);
    static bool handles(const QString &file);
    // Addresses of the last file read that carried no postcode and took their street's or that of
    // the postcode boundary they lie in.
    qint64 postcodesFromStreets() const { return m_postcodesFromStreets; }
    qint64 postcodesFromAreas() const { return m_postcodesFromAreas; }

private:
    GazetteerStore &m_store;
    QString m_country;
    PlaceAt m_placeAt;
    qint64 m_postcodesFromStreets = 0, m_postcodesFromAreas = 0;
};

} // namespace Engine
