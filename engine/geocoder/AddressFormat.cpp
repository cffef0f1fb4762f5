#include "AddressFormat.h"

#include <QStringBuilder>
#include <QStringList>

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

// The parts that are not empty, with the separator between them; built in one allocation, since
// every answer of a lookup is written so.
QString joined(const QString &first, const QString &second, QLatin1StringView separator)
{
    if (first.isEmpty())
        return second;
    if (second.isEmpty())
        return first;
    return first % separator % second;
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
        return joined(city, joined(region, postcode, " "_L1), ", "_L1);
    if (british(country))
        return joined(city, postcode, " "_L1);
    return joined(postcode, city, " "_L1);
}

QString address(const QString &country, const QString &streetLine, const QString &postcode, const QString &city,
                const QString &region)
{
    return joined(streetLine, postcodeArea(country, postcode, city, region), ", "_L1);
}

QString place(const QString &country, const QString &name, const QString &region)
{
    if (northAmerican(country))
        return joined(name, region, ", "_L1);
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
