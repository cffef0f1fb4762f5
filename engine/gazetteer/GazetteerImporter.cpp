#include "GazetteerImporter.h"

#include "GazetteerStore.h"
#include "GeoNamesImporter.h"
#include "ImportProgress.h"

#include <QFileInfo>

namespace Engine {

qint64 GazetteerImporter::import(const QStringList &files)
{
    GazetteerStore store(m_file);
    GeoNamesImporter geoNames(store);
    OsmImporter osm(store, m_country, m_placeAt);
    qint64 read = 0;
    m_notes.clear();
    for (const QString &f : files) {
        const QString source = GazetteerStore::sourceName(f);
        ImportProgress progress(source, QFileInfo(f).size(), m_stop);
        store.beginSource(source);
        const bool osmFile = OsmImporter::handles(f);
        const qint64 objects = osmFile ? osm.importFile(f, progress) : geoNames.importFile(f, progress);
        if (osmFile && osm.postcodesFromStreets() + osm.postcodesFromAreas() > 0)
            m_notes << QStringLiteral("%1: %2 addresses without a postcode took their street's, %3 their postcode boundary's")
                           .arg(source).arg(osm.postcodesFromStreets()).arg(osm.postcodesFromAreas());
        store.endSource(uint64_t(objects), progress);
        progress.finish(objects);
        read += objects;
    }
    store.commit();
    return read;
}

} // namespace Engine
