#pragma once

#include <QString>

// Display texts of field values, always with '.' as the decimal point.
class DisplayFormat
{
public:
    // Patterns like "#.00000" or "0.00": '0' digits are always shown, '#' only when significant,
    // so "#.00000" shows 0.5 as ".50000". An empty pattern shows up to 15 significant digits.
    static QString formatFloat(double value, const QString &pattern);
    // "Yes;No" style pattern: text for true, then for false. An empty pattern shows "Yes" / "".
    static QString formatBoolean(bool value, const QString &pattern);
};
