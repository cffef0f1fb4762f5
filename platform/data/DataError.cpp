#include "DataError.h"

DataError::DataError(const QString &msg) : std::runtime_error(msg.toStdString()) {}

QString DataError::message() const
{
    return QString::fromStdString(what());
}
