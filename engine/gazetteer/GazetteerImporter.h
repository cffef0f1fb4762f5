#pragma once
// Adds reference data files to a gazetteer file: GeoNames dumps (places or postal codes, plain or
// gzip'd) and OpenStreetMap extracts, each as a source of its own under its file name, replacing
// what an earlier import of that name brought. All files go in at once: when one of them is bad,
// nothing is written and the gazetteer stays as it was.

#include "OsmImporter.h"

#include <QString>
#include <QStringList>

#include <atomic>

namespace Engine {

class GazetteerImporter {
public:
    explicit GazetteerImporter(QString gazetteerFile) : m_file(std::move(gazetteerFile)) {}
    // ISO code for OSM data whose addresses do not name their country.
    void setCountry(const QString &iso2) { m_country = iso2; }
    // Known places for OSM data (its country where neither its addresses nor setCountry say it,
    // and the city of streets that the data leaves without one).
    void setPlaceAt(OsmImporter::PlaceAt placeAt) { m_placeAt = std::move(placeAt); }
    // Set (from a signal handler, say) to stop the import at its next step, leaving the gazetteer
    // as it was.
    void setStop(const std::atomic<bool> *stop) { m_stop = stop; }

    // Returns the number of records (GeoNames) and objects (OSM) read; throws GazetteerError.
    qint64 import(const QStringList &files);
    // What the last import filled in that the files left open, a line per file, for the user.
    const QStringList &notes() const { return m_notes; }

private:
    QString m_file, m_country;
    OsmImporter::PlaceAt m_placeAt;
    const std::atomic<bool> *m_stop = nullptr;
    QStringList m_notes;
};

} // namespace Engine
