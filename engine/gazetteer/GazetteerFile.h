#pragma once
// The frame of a gazetteer file: its header and the directory of its segments, checked when the
// file is opened (a cut, damaged or foreign file is refused with its name) and written last when
// a file is built, so that a file is whole or refused.

#include "GazetteerFormat.h"

#include <span>
#include <vector>

namespace Engine {

class MappedFile;
class OutputFile;

namespace GazetteerFile {

// The segments in the order they are read; throws GazetteerError naming the file.
std::vector<std::span<const std::byte>> segments(const MappedFile &file);

// Room for the header at the start of a file being built; segments follow it.
void begin(OutputFile &out);
// The directory after the segments, then the header in its room.
void end(OutputFile &out, const std::vector<GazetteerFormat::DirectoryEntry> &segments);

} // namespace GazetteerFile

} // namespace Engine
