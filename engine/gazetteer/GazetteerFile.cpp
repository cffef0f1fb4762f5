#include "GazetteerFile.h"

#include "GazetteerError.h"
#include "MappedFile.h"
#include "OutputFile.h"

#include <zlib.h>

#include <cstring>

namespace Engine::GazetteerFile {

using namespace GazetteerFormat;

namespace {

uint32_t crcOf(const void *data, size_t size)
{
    uLong crc = crc32(0, nullptr, 0);
    const auto *p = static_cast<const Bytef *>(data);
    // zlib takes at most 4 GB a call.
    while (size > 0) {
        const auto n = uInt(std::min<size_t>(size, 1u << 30));
        crc = crc32(crc, p, n);
        p += n;
        size -= n;
    }
    return uint32_t(crc);
}

[[noreturn]] void refuse(const MappedFile &file, const QString &why)
{
    throw GazetteerError(QStringLiteral("The gazetteer %1 %2").arg(file.name(), why));
}

} // namespace

std::vector<std::span<const std::byte>> segments(const MappedFile &file)
{
    static const char sqliteMagic[] = "SQLite format 3";
    const std::byte *data = file.data();
    if (file.size() >= sizeof sqliteMagic && std::memcmp(data, sqliteMagic, sizeof sqliteMagic) == 0)
        refuse(file, QStringLiteral("was made by an earlier version of this program. Import its sources again "
                                    "(orvane-gazetteer import), or build the project again for the program's own gazetteer."));
    FileHeader header{};
    if (file.size() < sizeof header || std::memcmp(data, FileMagic, sizeof FileMagic) != 0)
        refuse(file, QStringLiteral("is not a gazetteer of this program."));
    std::memcpy(&header, data, sizeof header);
    const uint32_t crc = header.headerCrc;
    header.headerCrc = 0;
    if (crcOf(&header, sizeof header) != crc)
        refuse(file, QStringLiteral("is damaged (its header does not check out)."));
    if (header.version != Version)
        refuse(file, QStringLiteral("has format version %1; this program reads version %2. Import its sources again.")
                         .arg(header.version).arg(Version));
    if (header.fileSize != file.size())
        refuse(file, QStringLiteral("is damaged: it holds %1 bytes instead of %2 (cut off?).").arg(file.size()).arg(header.fileSize));
    const uint64_t directorySize = uint64_t(header.segmentCount) * sizeof(DirectoryEntry);
    if (header.directoryOffset % alignof(DirectoryEntry) != 0 || header.directoryOffset > file.size()
        || directorySize > file.size() - header.directoryOffset)
        refuse(file, QStringLiteral("is damaged (its directory lies outside the file)."));
    const auto *entries = reinterpret_cast<const DirectoryEntry *>(data + header.directoryOffset);
    if (crcOf(entries, directorySize) != header.directoryCrc)
        refuse(file, QStringLiteral("is damaged (its directory does not check out)."));
    std::vector<std::span<const std::byte>> out;
    for (uint32_t i = 0; i < header.segmentCount; ++i) {
        const DirectoryEntry &e = entries[i];
        if (e.offset % SegmentAlignment != 0 || e.offset > file.size() || e.size > file.size() - e.offset)
            refuse(file, QStringLiteral("is damaged (a segment lies outside the file)."));
        out.emplace_back(data + e.offset, e.size);
    }
    return out;
}

void begin(OutputFile &out)
{
    const FileHeader room{};
    out.write(&room, sizeof room);
    out.pad(SegmentAlignment);
}

void end(OutputFile &out, const std::vector<DirectoryEntry> &segments)
{
    out.pad(alignof(DirectoryEntry));
    FileHeader header{};
    std::memcpy(header.magic, FileMagic, sizeof FileMagic);
    header.version = Version;
    header.segmentCount = uint32_t(segments.size());
    header.directoryOffset = out.position();
    header.directoryCrc = crcOf(segments.data(), segments.size() * sizeof(DirectoryEntry));
    out.write(segments);
    header.fileSize = out.position();
    header.headerCrc = crcOf(&header, sizeof header);
    out.writeAt(0, &header, sizeof header);
}

} // namespace Engine::GazetteerFile
