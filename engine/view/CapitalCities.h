#pragma once

#include <vector>

// Where the capitals of the editions' countries lie (the gazetteer does not mark capitals). The
// place labels find each one's name and size in the gazetteer at that point.
struct CapitalCity {
    double latitude, longitude;
};

const std::vector<CapitalCity> &capitalCities();
