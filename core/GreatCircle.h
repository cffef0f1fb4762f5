#pragma once

// Distances on the sphere that every part of the program measures on (mean earth radius).
namespace GreatCircle {

constexpr double EarthRadiusKm = 6371.0;

// Central angle in radians between two points given in degrees (haversine, exact at the poles and
// for antipodes).
double centralAngle(double latitude1, double longitude1, double latitude2, double longitude2);

double distanceKm(double latitude1, double longitude1, double latitude2, double longitude2);

} // namespace GreatCircle
