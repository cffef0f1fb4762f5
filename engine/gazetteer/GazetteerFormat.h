#pragma once
// The gazetteer file as it lies on disk and is read through a memory map: a header, a directory
// of segments (one per imported source), and per segment a header and its sections of fixed-size
// rows, a string pool and the indexes built at import. Offsets inside a segment are relative to
// its start, so a segment is copied from file to file as it is. Native byte order (x86-64 and
// every other little-endian machine); the magic tells a file from another byte order apart.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace Engine::GazetteerFormat {

inline constexpr char FileMagic[8] = {'O', 'R', 'V', 'G', 'A', 'Z', '\r', '\n'};
inline constexpr char SegmentMagic[8] = {'O', 'R', 'V', 'S', 'E', 'G', '\r', '\n'};
inline constexpr uint32_t Version = 4;
// Segments start on a page, so that each is mapped and copied on its own pages.
inline constexpr uint64_t SegmentAlignment = 4096;
inline constexpr size_t SourceNameBytes = 240;

struct FileHeader {
    char magic[8];
    uint32_t version;
    uint32_t segmentCount;
    uint64_t fileSize;        // a cut file is told by this
    uint64_t directoryOffset;
    uint32_t directoryCrc;
    uint32_t headerCrc;       // of this header with headerCrc = 0
};

struct DirectoryEntry {
    uint64_t offset, size;
};

enum Section : uint32_t {
    Strings,                  // char16_t; a string is its length in one unit, then its units
    Places, PlaceNames, PlaceIdentities, PlacesByPopulation, PlaceGrid,
    Postcodes, PostcodeIdentities,
    Streets, Pieces, Points, StreetGrid,
    Addresses,
    PlaceKeyBytes, PlaceKeyEntries, PlaceKeyTable, PlaceKeyIds,
    PostcodeKeyBytes, PostcodeKeyEntries, PostcodeKeyTable, PostcodeKeyIds,
    StreetKeyBytes, StreetKeyEntries, StreetKeyTable, StreetKeyIds, StreetNarrowEntries, StreetNarrowRows, StreetNarrowFences,
    AddressKeyBytes, AddressKeyEntries, AddressKeyTable, AddressKeyIds, AddressNarrowEntries, AddressNarrowRows, AddressNarrowFences,
    FoldedKeys,               // a key is its length in two bytes, then its bytes
    TypoKeys,
    TypoHeadBuckets, TypoHeadShapes, TypoHeadBytes,
    TypoTailBuckets, TypoTailShapes, TypoTailBytes,
    SectionCount
};

struct SectionRange {
    uint64_t offset, size;   // bytes, from the segment's start
};

struct SegmentHeader {
    char magic[8];
    uint64_t size;
    int64_t importedAt;      // seconds since 1970
    uint64_t objectsRead;    // what the source file held, as the import counted it
    char source[SourceNameBytes];   // UTF-8, zero-padded
    SectionRange sections[SectionCount];
    uint32_t headerCrc;      // of this header with headerCrc = 0
    uint32_t reserved;
};

// A string: its offset in the Strings section, in units.
using StringRef = uint32_t;

struct PlaceRow {
    StringRef country;
    StringRef name, admin1;
    uint32_t firstName, nameCount;   // alternates in PlaceNames
    uint32_t reserved;
    uint64_t identity;               // source and source record, see identityOf
    double latitude, longitude;
    int64_t population;
};

struct PostcodeRow {
    StringRef country;
    StringRef code, place, admin1;
    int32_t kind;
    uint32_t atPlace;                // 1: the coordinates are the served place's, not the area's
    uint64_t identity;               // country, code and place
    double latitude, longitude;
};

// postcodeKey: the postcode's folded key (an offset in FoldedKeys), so that a lookup compares
// keys without folding the postcode of every namesake it reads.
struct StreetRow {
    StringRef country;
    StringRef name, postcode, city;
    uint32_t firstPiece, pieceCount;
    uint32_t postcodeKey, reserved;
    double latitude, longitude;
    double south, west, north, east;
};

struct PieceRow {
    uint32_t firstPoint, pointCount;
};

struct PointRow {
    float latitude, longitude;
};

struct AddressRow {
    StringRef country;
    StringRef street, houseNumber, postcode, city;
    uint32_t postcodeKey;
    uint32_t postcodeInferred;       // 1: the data gave none; the import took its street's or area's
    uint32_t reserved;
    double latitude, longitude;
};

struct IdentityRow {
    uint64_t identity;
    uint32_t id, reserved;
};

// A grid cell (see cellOf) and a record in it; sorted by cell, then record.
struct GridRow {
    uint64_t cell;
    uint32_t id, reserved;
};

struct KeyEntry {
    uint32_t at, size, first, count;   // key bytes, then its ids
};

// A place name of several words is also keyed by its first word behind this mark, so that a name
// typed short ("Weil a. Rhein") finds the names it may stand for.
inline constexpr char FirstWordMark = '\x01';

struct PlaceHitRow {
    uint32_t place, name;   // name 0 is the main name, n the (n-1)th alternate
};

// The records of a large street or address key three times over, so that a lookup reads only
// those that can fit what it was given: by postcode key, by city key (each an offset in
// FoldedKeys) and by NarrowCell; each sorted by its key, then record. An entry per key of the
// index; a key with few records has none (count 0) and is read whole. A row by postcode or city
// carries the first bytes of its key (zero-padded), so that a search settles most comparisons
// without reading FoldedKeys.
struct NarrowEntry {
    uint32_t first, count;   // rows first .. first + 3 * count
};
inline constexpr size_t NarrowHeadBytes = 4;
struct NarrowRow {
    uint32_t key, id;
    char head[NarrowHeadBytes];
};
// The head of every NarrowFenceStride-th row, in a section of its own: small enough to stay in
// the cache, it takes a search to a stretch of rows before the search reads any of them.
inline constexpr size_t NarrowFenceStride = 32;
struct NarrowFence {
    char head[NarrowHeadBytes];
};
inline constexpr uint32_t NarrowFrom = 48;   // records a key needs to be narrowed
inline constexpr double NarrowCellDegrees = 0.25;
inline uint32_t narrowCell(int64_t y, int64_t x)
{
    return uint32_t((y + 400) * 2048 + (x + 800));
}

struct TypoBucket {
    uint32_t code;           // the bucket's two or three key bytes
    uint32_t firstShape, shapeCount;
    uint32_t reserved;
    uint64_t bytesAt, bytesSize;
};

struct KeyShape {
    uint64_t letters;
    uint32_t size, key, at, reserved;
};

// Place grid cells are a degree wide, street grid cells a hundredth.
inline constexpr double PlaceCellDegrees = 1.0;
inline constexpr double StreetCellDegrees = 0.01;

// Cells by row and column counted from far south-west of the map, so that they sort by row
// and then column; a record too large for the grid lies in LargeCell, read with every box.
inline uint64_t cellOf(int64_t y, int64_t x)
{
    constexpr int64_t bias = int64_t(1) << 30;
    return (uint64_t(y + bias) << 32) | uint64_t(uint32_t(x + bias));
}
inline constexpr uint64_t LargeCell = ~uint64_t(0);
inline constexpr int64_t MaxCellsPerRecord = 64;

// A typo bucket's code: its two (head) or three (tail) key bytes.
inline uint32_t bucketCode(std::string_view bytes)
{
    uint32_t code = 0;
    for (size_t i = 0; i < bytes.size(); ++i)
        code |= uint32_t(static_cast<unsigned char>(bytes[i])) << (8 * i);
    return code;
}

// The bytes a key holds, folded into 64 bits (KeyShape::letters). Every byte kind one key has and
// the other lacks costs at least one edit, so counting those bits bounds the edit distance from below.
inline uint64_t letterBits(std::string_view key)
{
    uint64_t bits = 0;
    for (unsigned char c : key)
        bits |= uint64_t(1) << (c % 64);
    return bits;
}

// Hashes that are written to disk: FNV-1a, the same on every build of the program.
inline uint64_t hashOf(std::string_view bytes)
{
    uint64_t h = 1469598103934665603ull;
    for (unsigned char c : bytes) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h ^ (h >> 29);
}

} // namespace Engine::GazetteerFormat
