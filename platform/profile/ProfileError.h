#pragma once
#include <QString>

#include <stdexcept>

// A settings file that could not be written; the message names the file and the reason.
class ProfileError : public std::runtime_error {
public:
    explicit ProfileError(const QString &message) : std::runtime_error(message.toStdString()) {}
};
