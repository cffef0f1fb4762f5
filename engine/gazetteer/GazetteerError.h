#pragma once

#include <QString>

#include <stdexcept>

namespace Engine {

// A gazetteer file that cannot be opened, read or written, or an import file that is not valid.
class GazetteerError : public std::runtime_error {
public:
    explicit GazetteerError(const QString &message) : std::runtime_error(message.toStdString()) {}
};

} // namespace Engine
