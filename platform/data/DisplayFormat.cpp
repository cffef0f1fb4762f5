#include "DisplayFormat.h"

#include <QLocale>
#include <algorithm>
#include <cmath>

QString DisplayFormat::formatFloat(double value, const QString &pattern)
{
    const QLocale c = QLocale::c();
    if (pattern.isEmpty())
        return c.toString(value, 'g', 15);
    const qsizetype point = pattern.indexOf(QLatin1Char('.'));
    const QString whole = point < 0 ? pattern : pattern.left(point);
    const QString fraction = point < 0 ? QString() : pattern.mid(point + 1);
    const int decimals = int(fraction.count(QLatin1Char('0')) + fraction.count(QLatin1Char('#')));
    const int minWhole = int(whole.count(QLatin1Char('0')));

    QString text = c.toString(std::fabs(value), 'f', decimals);
    // Trailing '#' decimals are shown only when not zero.
    for (qsizetype i = fraction.size() - 1; i >= 0 && fraction[i] == QLatin1Char('#'); --i)
        if (text.endsWith(QLatin1Char('0')))
            text.chop(1);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    qsizetype digits = text.indexOf(QLatin1Char('.'));
    if (digits < 0)
        digits = text.size();
    if (text.startsWith(QLatin1Char('0')) && digits == 1 && minWhole == 0) {
        text.remove(0, 1);
        digits = 0;
    }
    if (digits < minWhole)
        text.prepend(QString(minWhole - digits, QLatin1Char('0')));
    // A value that rounds to zero shows no sign.
    const bool zero = std::none_of(text.cbegin(), text.cend(), [](QChar ch) { return ch >= u'1' && ch <= u'9'; });
    if (value < 0 && !zero)
        text.prepend(QLatin1Char('-'));
    return text;
}

QString DisplayFormat::formatBoolean(bool value, const QString &pattern)
{
    if (pattern.isEmpty())
        return value ? QStringLiteral("Yes") : QString();
    return value ? pattern.section(QLatin1Char(';'), 0, 0) : pattern.section(QLatin1Char(';'), 1, 1);
}
