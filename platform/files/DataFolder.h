#pragma once

#include <QString>

// The program's read-only data (help file, basemap) lies in share/orvane beside the program's
// bin/ folder: /usr/share/orvane when installed, <build>/share/orvane when built, and wherever
// such a tree is moved.
class DataFolder {
public:
    // Needs the application object, which knows where the program lies.
    static QString filePath(const QString &name);
};
