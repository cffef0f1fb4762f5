#include "CapitalCities.h"

const std::vector<CapitalCity> &capitalCities()
{
    // GeoNames' seats of government (feature code PPLC) of the country table's sixteen countries.
    static const std::vector<CapitalCity> capitals = {
        {52.52437, 13.41053},  // Berlin
        {48.20849, 16.37208},  // Vienna
        {46.94809, 7.44744},   // Bern
        {47.14151, 9.52154},   // Vaduz
        {41.89193, 12.51133},  // Rome
        {48.85341, 2.3488},    // Paris
        {40.4165, -3.70256},   // Madrid
        {38.71667, -9.13333},  // Lisbon
        {50.85045, 4.34878},   // Brussels
        {52.37403, 4.88969},   // Amsterdam
        {49.61167, 6.13},      // Luxembourg
        {55.67594, 12.56553},  // Copenhagen
        {51.50853, -0.12574},  // London
        {53.33306, -6.24889},  // Dublin
        {38.89511, -77.03637}, // Washington
        {45.41117, -75.69812}, // Ottawa
    };
    return capitals;
}
