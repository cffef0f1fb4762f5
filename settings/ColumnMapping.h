#pragma once

#include "ColumnRoles.h"

#include <QString>

#include <array>

// The column of a customer table chosen for each role; empty where none is.
class ColumnMapping {
public:
    const QString &operator[](ColumnRole role) const { return m_columns[static_cast<std::size_t>(role)]; }
    QString &operator[](ColumnRole role) { return m_columns[static_cast<std::size_t>(role)]; }

private:
    std::array<QString, ColumnRoles::Count> m_columns;
};
