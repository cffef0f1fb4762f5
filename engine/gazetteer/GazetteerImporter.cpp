#include "GazetteerImporter.h"

#include "GazetteerStore.h"
#include "GeoNamesImporter.h"

namespace Engine {

qint64 GazetteerImporter::import(const QStringList &files)
{
    GazetteerStore store(m_file);
    GeoNamesImporter geoNames(store);
    OsmImporter osm(store, m_country, m_placeAt);
    qint64 read = 0;
    for (const QString &f : files)
        read += OsmImporter::handles(f) ? osm.importFile(f) : geoNames.importFile(f);
    store.commit();
    return read;
}

} // namespace Engine
