#pragma once
// Address lookup over the gazetteer: folds the typed parts, finds candidates, ranks them and says
// how sure it is.

#include "Gazetteer.h"

#include <LocationKind.h>
#include <MatchQuality.h>

#include <QString>

#include <optional>
#include <vector>

namespace Engine {

enum class Edition { Europe, NorthAmerica };

struct PostalParts { QString postcode, city, street; };
struct Match {
    LocationKind kind;
    QString displayName;
    double latitude, longitude;
    std::optional<PostalParts> postal;   // street-level results only
};
struct Answer { MatchQuality quality; std::vector<Match> matches; };   // best first

class Geocoder {
public:
    Geocoder(std::shared_ptr<const Gazetteer> g, Edition e);
    // countryNumber as the country table's map country (0 = every country of the edition).
    Answer lookup(const QString &street, const QString &city, const QString &postcode,
                  int countryNumber) const;

private:
    std::shared_ptr<const Gazetteer> m_gazetteer;
    Edition m_edition;
};

// The country table's map country number for an ISO 3166 alpha-2 code, 0 when it has none.
int countryNumberFor(const QString &iso2);
// The ISO code for a map country number, empty when the number is unknown.
QString isoCodeFor(int countryNumber);

} // namespace Engine
