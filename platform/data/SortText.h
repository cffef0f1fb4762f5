#pragma once

#include <QString>

// A client-side sort text: empty, "[column]", "[column] ASC" or "[column] DESC".
// Brackets may be left out for a name without spaces.
struct SortText
{
    QString column;   // empty: the order of the query
    bool descending = false;

    static SortText parse(const QString &text);   // throws DataError
};
