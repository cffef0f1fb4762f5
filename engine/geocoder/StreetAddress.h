#pragma once
// A typed street split into street name and house number, "Haydnstraße 5" as well as "5 Main St".

#include <QString>

#include <vector>

namespace Engine {

struct StreetAddress {
    QString street, houseNumber;   // houseNumber empty when the whole text is the street
    bool numberFirst = false;

    // The first house of a range ("1-3", "7–9" give "1", "7"), or empty when the number is none.
    QString rangeStart() const;

    // The readings worth trying, best first: with a house number where one stands at the start or
    // the end (the country's habit first), then the whole text as the street ("Route 66").
    static std::vector<StreetAddress> readings(const QString &text, bool countryWritesNumberFirst);
};

} // namespace Engine
