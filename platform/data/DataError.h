#pragma once

#include <QString>
#include <stdexcept>

// Every failure of the data layer: connection, query, type binding, post.
class DataError : public std::runtime_error
{
public:
    explicit DataError(const QString &msg);
    QString message() const;
};
