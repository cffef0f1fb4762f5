#pragma once
// Display names written the way addresses are written in the country:
// "Haydnstraße 5, 88486 Kirchberg an der Iller", "5 Main St, Boston, MA 02134", "80331 München".

#include <QString>

namespace Engine::AddressFormat {

// The United States and Canada, whose addresses carry a region.
bool northAmerican(const QString &country);
bool numberFirst(const QString &country);
QString streetLine(const QString &country, const QString &street, const QString &houseNumber);
QString address(const QString &country, const QString &streetLine, const QString &postcode,
                const QString &city, const QString &region);
QString postcodeArea(const QString &country, const QString &postcode, const QString &city,
                     const QString &region);
QString place(const QString &country, const QString &name, const QString &region);
// The short region code shown with US and Canadian places ("MA", "ON"), empty elsewhere.
QString regionCode(const QString &country, const QString &admin1);

} // namespace Engine::AddressFormat
