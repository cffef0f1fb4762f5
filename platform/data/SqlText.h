#pragma once

#include "DatabaseProvider.h"

#include <QString>

// SQL text that the SQL providers write alike: quoted names, the condition that locates a row
// by its column values, and the "select TOP n" of the original dialect as LIMIT.
class SqlText
{
public:
    // A letter or '_', then letters, digits and '_': a name every dialect reads without quotes.
    static bool isPlainWord(const QString &name);
    // In double quotes, an inner '"' doubled.
    static QString quoted(const QString &identifier);
    // "a = ?1 AND b IS NULL": a null value is compared with IS NULL and takes no parameter; the
    // others are numbered from 'firstParameter' behind 'marker' ('?' or '$').
    static QString where(const ColumnValues &where, QChar marker, int firstParameter,
                         QString (*name)(const QString &) = quoted);
    // "select [distinct] TOP n ..." as "select [distinct] ... LIMIT n"; any other text unchanged.
    static QString rewriteTop(const QString &sql);
};
