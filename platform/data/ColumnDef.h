#pragma once

#include <QString>

// What a query column can be mapped to: text, yes/no and floating-point columns; everything else
// (integers, dates, memo, fixed-length narrow text, binary) is Other.
enum class ColumnKind { Text, YesNo, Float, Other };

struct ColumnDef
{
    QString name;
    ColumnKind kind;
};
