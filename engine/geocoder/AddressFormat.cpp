#include "AddressFormat.h"

#include <QStringBuilder>
#include <QStringList>

#include <algorithm>
#include <initializer_list>
#include <type_traits>

namespace Engine::AddressFormat {

namespace {

using namespace Qt::Literals::StringLiterals;

// Country codes are two letters: compared unit by unit, not through a string comparison, since
// every answer of a lookup asks several times how its country writes addresses.
bool is(const QString &country, const char (&code)[3])
{
    return country.size() == 2 && country[0] == QLatin1Char(code[0]) && country[1] == QLatin1Char(code[1]);
}

bool british(const QString &country)
{
    return is(country, "GB") || is(country, "IE");
}

// A text of a display name and the separator written before it.
struct Part {
    QLatin1StringView separator;
    const QString &text;
};

// The parts that are not empty, in one allocation, since every answer of a lookup is written so.
// Where a part is empty, the separator that follows the last part written stands before the
// next: "Boston, 02134" without its region, as "Boston, MA 02134" with it.
template<typename Write> void forEachPiece(std::initializer_list<Part> parts, Write write)
{
    bool any = false, justWritten = false;
    QLatin1StringView separator;
    for (const Part &p : parts) {
        if (justWritten)
            separator = p.separator;
        justWritten = !p.text.isEmpty();
        if (!justWritten)
            continue;
        if (any)
            write(separator);
        write(p.text);
        any = true;
    }
}

QString joined(std::initializer_list<Part> parts)
{
    // A single part is shared, not copied.
    const QString *only = &std::data(parts)[parts.size() - 1].text;
    qsizetype nonEmpty = 0, size = 0;
    for (const Part &p : parts)
        if (!p.text.isEmpty()) {
            ++nonEmpty;
            only = &p.text;
        }
    if (nonEmpty <= 1)
        return *only;
    forEachPiece(parts, [&](const auto &piece) { size += piece.size(); });
    QString out(size, Qt::Uninitialized);
    QChar *at = out.data();
    forEachPiece(parts, [&](const auto &piece) {
        if constexpr (std::is_same_v<std::decay_t<decltype(piece)>, QString>)
            at = std::copy(piece.begin(), piece.end(), at);
        else
            for (char c : piece)
                *at++ = QLatin1Char(c);
    });
    return out;
}

} // namespace

bool northAmerican(const QString &country)
{
    return is(country, "US") || is(country, "CA");
}

bool numberFirst(const QString &country)
{
    return northAmerican(country) || british(country) || is(country, "FR") || is(country, "LU");
}

QString streetLine(const QString &country, const QString &street, const QString &houseNumber)
{
    if (houseNumber.isEmpty())
        return street;
    return numberFirst(country) ? houseNumber % u' ' % street : street % u' ' % houseNumber;
}

QString postcodeArea(const QString &country, const QString &postcode, const QString &city, const QString &region)
{
    if (northAmerican(country))
        return joined({{{}, city}, {", "_L1, region}, {" "_L1, postcode}});
    if (british(country))
        return joined({{{}, city}, {" "_L1, postcode}});
    return joined({{{}, postcode}, {" "_L1, city}});
}

QString address(const QString &country, const QString &streetLine, const QString &postcode, const QString &city,
                const QString &region)
{
    if (northAmerican(country))
        return joined({{{}, streetLine}, {", "_L1, city}, {", "_L1, region}, {" "_L1, postcode}});
    if (british(country))
        return joined({{{}, streetLine}, {", "_L1, city}, {" "_L1, postcode}});
    return joined({{{}, streetLine}, {", "_L1, postcode}, {" "_L1, city}});
}

QString place(const QString &country, const QString &name, const QString &region)
{
    if (northAmerican(country))
        return joined({{{}, name}, {", "_L1, region}});
    return name;
}

QString regionCode(const QString &country, const QString &admin1)
{
    if (is(country, "US"))
        return admin1;
    if (is(country, "CA")) {
        // GeoNames numbers the provinces; postal dumps already give the abbreviation.
        static const QStringList provinces{QString(), QStringLiteral("AB"), QStringLiteral("BC"),
                                           QStringLiteral("MB"), QStringLiteral("NB"), QStringLiteral("NL"),
                                           QString(), QStringLiteral("NS"), QStringLiteral("ON"),
                                           QStringLiteral("PE"), QStringLiteral("QC"), QStringLiteral("SK"),
                                           QStringLiteral("YT"), QStringLiteral("NT"), QStringLiteral("NU")};
        bool ok = false;
        const int n = admin1.toInt(&ok);
        if (!ok)
            return admin1;
        return n > 0 && n < provinces.size() ? provinces[n] : QString();
    }
    return {};
}

} // namespace Engine::AddressFormat
