#include "GreatCircle.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace GreatCircle {

double centralAngle(double latitude1, double longitude1, double latitude2, double longitude2)
{
    constexpr double toRad = std::numbers::pi / 180.0;
    const double phi1 = latitude1 * toRad, phi2 = latitude2 * toRad;
    const double dPhi = phi2 - phi1, dLambda = (longitude2 - longitude1) * toRad;
    const double h = std::sin(dPhi / 2) * std::sin(dPhi / 2)
        + std::cos(phi1) * std::cos(phi2) * std::sin(dLambda / 2) * std::sin(dLambda / 2);
    return 2.0 * std::asin(std::sqrt(std::clamp(h, 0.0, 1.0)));
}

double distanceKm(double latitude1, double longitude1, double latitude2, double longitude2)
{
    return EarthRadiusKm * centralAngle(latitude1, longitude1, latitude2, longitude2);
}

} // namespace GreatCircle
