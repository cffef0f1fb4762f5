#pragma once
#include <QByteArray>
#include <QLocale>

#include <optional>

// The text forms of settings values: integers decimal or "0x" hexadecimal, floating-point numbers
// and date-times (days since 30 Dec 1899, the fraction being the time of day) in a locale's formats.
// Every to...() gives nothing for text that does not convert, so the caller can use its default.
class ValueFormat {
public:
    explicit ValueFormat(const QLocale &locale);

    static std::optional<qint32> toInteger(const QByteArray &text);
    std::optional<double> toFloat(const QByteArray &text) const;
    QByteArray fromFloat(double value) const;
    std::optional<double> toDateTime(const QByteArray &text) const;
    // A zero date part writes the time of day only, a zero time part the date only.
    QByteArray fromDateTime(double value) const;

private:
    std::optional<double> toTime(const QString &text) const;
    std::optional<double> toDate(const QString &text) const;
    QString timeFormat() const;
    QString dateFormat() const;

    QLocale FLocale;
};
