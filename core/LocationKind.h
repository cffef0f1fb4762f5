#pragma once

// What a found location is, numbered as the map engine reports it and as gazetteer files store
// postcode records.
enum class LocationKind : int {
    AddressPoint = 1,
    Street = 2,
    PopulatedPlace = 5,
    AdministrativeArea = 8,
    PostcodeArea = 12,
    PostcodeDistrict = 13,   // a group of postcode areas: a Canadian FSA, a British outward code
    Country = 20,
};
