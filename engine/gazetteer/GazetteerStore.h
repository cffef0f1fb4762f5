#pragma once
// A gazetteer file opened for writing, source by source. The new file is built beside the old
// one and takes its place only at commit(), in one rename: a store destroyed without commit()
// (an error, a full disk, an interrupted import) leaves the file as it was. One store at a time
// may be open on a file; another is refused while it is.

#include "FileLock.h"
#include "SegmentBuilder.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

namespace Engine {

class ImportProgress;
class MappedFile;
class OutputFile;

class GazetteerStore {
public:
    // Reads what the file holds now (nothing when it does not exist); throws GazetteerError
    // when it exists and is not a gazetteer of this version.
    explicit GazetteerStore(const QString &file);
    ~GazetteerStore();
    GazetteerStore(const GazetteerStore &) = delete;
    GazetteerStore &operator=(const GazetteerStore &) = delete;

    // The records that follow come from source (an imported file's name) and replace at
    // commit() whatever the file held from a source of that name.
    SegmentBuilder &beginSource(const QString &source);
    void endSource(uint64_t objectsRead, ImportProgress &progress);
    SegmentBuilder &current();
    // Takes a source out at commit(); throws GazetteerError when the file holds none of that name.
    void remove(const QString &source);
    QStringList sources() const;
    void commit();

    // The name a source file is known by.
    static QString sourceName(const QString &file);

private:
    QString m_file;
    std::optional<FileLock> m_lock;
    std::unique_ptr<MappedFile> m_old;
    std::vector<std::pair<QString, GazetteerFormat::DirectoryEntry>> m_oldSegments;
    QStringList m_removed;
    std::unique_ptr<OutputFile> m_out;
    std::vector<std::pair<QString, GazetteerFormat::DirectoryEntry>> m_newSegments;
    std::optional<SegmentBuilder> m_builder;
};

} // namespace Engine
