#include "ValueFormat.h"

#include <QDate>
#include <QRegularExpression>
#include <QStringList>
#include <QTime>

#include <cmath>
#include <limits>

namespace {
const QDate DayZero(1899, 12, 30);
constexpr qint64 MsecsPerDay = 24 * 60 * 60 * 1000;

std::optional<qint64> toDigits(const QString &text)
{
    if (text.isEmpty() || text.size() > 9)
        return std::nullopt;
    qint64 n = 0;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        n = n * 10 + (c.unicode() - u'0');
    }
    return n;
}
}

ValueFormat::ValueFormat(const QLocale &locale) : FLocale(locale)
{
    FLocale.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
}

std::optional<qint32> ValueFormat::toInteger(const QByteArray &text)
{
    const QByteArray t = text.trimmed();
    bool ok = false;
    if (t.startsWith("0x") || t.startsWith("0X")) {
        // Eight hex digits are a 32-bit pattern, so "0xFFFFFFFF" is -1 as the file's writers meant.
        const QByteArray digits = t.mid(2);
        if (digits.isEmpty() || digits.size() > 8 || digits.startsWith('+') || digits.startsWith('-'))
            return std::nullopt;
        const quint32 v = digits.toUInt(&ok, 16);
        return ok ? std::optional<qint32>(static_cast<qint32>(v)) : std::nullopt;
    }
    const qint32 v = t.toInt(&ok, 10);
    return ok ? std::optional<qint32>(v) : std::nullopt;
}

std::optional<double> ValueFormat::toFloat(const QByteArray &text) const
{
    bool ok = false;
    const double v = FLocale.toDouble(QString::fromLocal8Bit(text).trimmed(), &ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

QByteArray ValueFormat::fromFloat(double value) const
{
    return FLocale.toString(value, 'g', QLocale::FloatingPointShortest).toLocal8Bit();
}

// The locale's time of day with seconds and without a time zone, e.g. "HH:mm:ss" or "h:mm:ss AP".
QString ValueFormat::timeFormat() const
{
    QString f = FLocale.timeFormat(QLocale::LongFormat);
    f.remove(QRegularExpression(QStringLiteral("\\s*t+\\s*$")));
    f.remove(QRegularExpression(QStringLiteral("^\\s*t+\\s*")));
    return f.trimmed();
}

// The locale's short date with a four-digit year, so that writing back never loses the century.
QString ValueFormat::dateFormat() const
{
    QString f = FLocale.dateFormat(QLocale::ShortFormat);
    if (!f.contains(QLatin1String("yyyy")))
        f.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return f;
}

// Hours, optionally minutes and seconds, separated by the locale's time separator, with an
// optional AM/PM designator: "6", "18", "06:00", "6:00:00 AM".
std::optional<double> ValueFormat::toTime(const QString &text) const
{
    QString t = text.trimmed();
    int hourShift = -1;   // -1: 24-hour clock; 0 AM; 12 PM
    for (const auto &[designator, shift] : {std::pair{FLocale.amText(), 0}, std::pair{FLocale.pmText(), 12}}) {
        if (designator.isEmpty())
            continue;
        if (t.endsWith(designator, Qt::CaseInsensitive)) {
            t.chop(designator.size());
        } else if (t.startsWith(designator, Qt::CaseInsensitive)) {
            t.remove(0, designator.size());
        } else {
            continue;
        }
        t = t.trimmed();
        hourShift = shift;
        break;
    }
    const QString separator = FLocale.timeFormat(QLocale::ShortFormat)
                                  .section(QRegularExpression(QStringLiteral("[Hh]+")), 1, 1)
                                  .left(1);
    const QStringList parts = t.split(separator.isEmpty() ? QStringLiteral(":") : separator);
    if (parts.size() > 3)
        return std::nullopt;
    qint64 fields[3] = {0, 0, 0};
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const auto n = toDigits(parts[i].trimmed());
        if (!n)
            return std::nullopt;
        fields[i] = *n;
    }
    qint64 hour = fields[0];
    if (hourShift >= 0) {
        if (hour < 1 || hour > 12)
            return std::nullopt;
        hour = hour % 12 + hourShift;
    }
    if (hour > 23 || fields[1] > 59 || fields[2] > 59)
        return std::nullopt;
    return static_cast<double>((hour * 60 + fields[1]) * 60 + fields[2]) / (24 * 60 * 60);
}

std::optional<double> ValueFormat::toDate(const QString &text) const
{
    const QString t = text.trimmed();
    QDate d = FLocale.toDate(t, dateFormat());
    if (!d.isValid())
        d = FLocale.toDate(t, QLocale::ShortFormat);
    if (!d.isValid())
        return std::nullopt;
    return static_cast<double>(DayZero.daysTo(d));
}

std::optional<double> ValueFormat::toDateTime(const QByteArray &text) const
{
    const QString t = QString::fromLocal8Bit(text).trimmed();
    if (t.isEmpty())
        return std::nullopt;
    if (const auto time = toTime(t))
        return time;
    if (const auto date = toDate(t))
        return date;
    // Date and time: the date ends at some blank; dates such as "d. M. yy" hold blanks themselves.
    for (qsizetype i = t.indexOf(u' '); i > 0; i = t.indexOf(u' ', i + 1)) {
        const auto date = toDate(t.left(i));
        const auto time = date ? toTime(t.mid(i + 1)) : std::nullopt;
        if (date && time)
            return *date < 0 ? *date - *time : *date + *time;
    }
    return std::nullopt;
}

QByteArray ValueFormat::fromDateTime(double value) const
{
    if (!std::isfinite(value) || std::abs(value) > 3.0e6)
        value = 0;   // beyond any calendar date the file could hold
    const double days = std::trunc(value);
    qint64 msecs = std::llround(std::abs(value - days) * MsecsPerDay);
    msecs = std::min(msecs, MsecsPerDay - 1);
    const QString time = FLocale.toString(QTime::fromMSecsSinceStartOfDay(int(msecs)), timeFormat());
    if (days == 0)
        return time.toLocal8Bit();
    const QString date = FLocale.toString(DayZero.addDays(qint64(days)), dateFormat());
    return (msecs < 1000 ? date : date + u' ' + time).toLocal8Bit();
}
