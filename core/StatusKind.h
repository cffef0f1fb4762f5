#pragma once

// How precisely a record was geocoded, as its status text says ("Postcode", "City", ...).
enum class StatusKind : int {
    None = 0,
    Postcode = 1,
    City = 2,
    Street = 3,
    Graphic = 4,   // 4 and 5 have their texts; nothing here geocodes with them
    Gps = 5,
};
