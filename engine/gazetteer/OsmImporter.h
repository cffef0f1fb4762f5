#pragma once
// OpenStreetMap extracts (.osm, .osm.bz2, .osm.gz, .osm.pbf): named streets with their postcode and
// place, address points (addr:* on nodes and buildings), postcode areas (boundary=postal_code, else
// the centroid of the addresses that carry the postcode) and place nodes.

#include <QString>

#include <functional>

namespace Engine {

class GazetteerStore;

class OsmImporter {
public:
    // Country of the data where its addresses do not say (addr:country): the ISO code of the
    // nearest known place, or empty when none is known.
    using CountryAt = std::function<QString(double latitude, double longitude)>;

    OsmImporter(GazetteerStore &store, QString country, CountryAt countryAt)
        : m_store(store), m_country(std::move(country)), m_countryAt(std::move(countryAt)) {}
    // Returns the number of OSM objects read; throws GazetteerError naming the file.
    qint64 importFile(const QString &file);
    static bool handles(const QString &file);

private:
    GazetteerStore &m_store;
    QString m_country;
    CountryAt m_countryAt;
};

} // namespace Engine
