#pragma once
// GeoNames dump files, plain or gzip'd: the places format (19 columns: a country's XX.txt,
// cities500.txt) and the postal-code format (12 columns). Which one a file is follows from its
// first line.

#include <QString>

namespace Engine {

class GazetteerStore;
class ImportProgress;

class GeoNamesImporter {
public:
    explicit GeoNamesImporter(GazetteerStore &store) : m_store(store) {}
    // Returns the number of records written; throws GazetteerError naming file and line.
    qint64 importFile(const QString &file, ImportProgress &progress);

private:
    GazetteerStore &m_store;
};

} // namespace Engine
