#pragma once
#include <QString>

#include <stdexcept>

// The platform's embedding error, e.g. "Invalid class string" for an identifier nobody registered.
class OleError : public std::runtime_error {
public:
    explicit OleError(const QString &message) : std::runtime_error(message.toStdString()) {}
};
