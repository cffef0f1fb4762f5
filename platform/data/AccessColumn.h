#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

// One column of an Access table or saved query as the file defines it.
struct AccessColumn
{
    QString name;
    QString typeName;   // the Access type: "Text", "Long Integer", "Double", ...
    int mdbType = 0;
    int size = 0;       // characters for Text, bytes otherwise
    bool autoNumber = false;
};

// One row as read from the file: text as UTF-8, dates ISO, numbers as text, OLE as bytes.
using AccessRow = std::vector<std::optional<QByteArray>>;
