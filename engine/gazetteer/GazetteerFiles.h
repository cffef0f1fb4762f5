#pragma once

#include <QString>

namespace Engine {

// The gazetteers a program reads: its own, which must exist, and the user's imports, read when
// they exist. The programs' main() says where they are; nothing below it looks them up.
struct GazetteerFiles {
    QString shipped;
    QString user;

    // share/orvane/gazetteer.bin beside the program's bin/ folder, else gazetteer.bin next to
    // the program; $XDG_DATA_HOME/Orvane/gazetteer.bin.
    static GazetteerFiles defaults();
};

} // namespace Engine
