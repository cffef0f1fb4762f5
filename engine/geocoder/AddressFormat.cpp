#include "AddressFormat.h"

#include <QStringList>

namespace Engine::AddressFormat {

namespace {

bool northAmerican(const QString &country)
{
    return country == u"US" || country == u"CA";
}

bool british(const QString &country)
{
    return country == u"GB" || country == u"IE";
}

QString joined(const QStringList &parts, const QString &separator)
{
    QStringList kept;
    for (const QString &p : parts)
        if (!p.isEmpty())
            kept << p;
    return kept.join(separator);
}

} // namespace

bool numberFirst(const QString &country)
{
    return northAmerican(country) || british(country) || country == u"FR" || country == u"LU";
}

QString streetLine(const QString &country, const QString &street, const QString &houseNumber)
{
    if (houseNumber.isEmpty())
        return street;
    return numberFirst(country) ? houseNumber + u' ' + street : street + u' ' + houseNumber;
}

QString postcodeArea(const QString &country, const QString &postcode, const QString &city, const QString &region)
{
    if (northAmerican(country))
        return joined({city, joined({region, postcode}, QStringLiteral(" "))}, QStringLiteral(", "));
    if (british(country))
        return joined({city, postcode}, QStringLiteral(" "));
    return joined({postcode, city}, QStringLiteral(" "));
}

QString address(const QString &country, const QString &streetLine, const QString &postcode, const QString &city,
                const QString &region)
{
    return joined({streetLine, postcodeArea(country, postcode, city, region)}, QStringLiteral(", "));
}

QString place(const QString &country, const QString &name, const QString &region)
{
    if (northAmerican(country))
        return joined({name, region}, QStringLiteral(", "));
    return name;
}

QString regionCode(const QString &country, const QString &admin1)
{
    if (country == u"US")
        return admin1;
    if (country == u"CA") {
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
