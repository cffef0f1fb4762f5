#pragma once

// A point on the earth in degrees, or none. A record keeps none as (0, 0), the value a run writes
// for an address it did not find; reading a record's columns through fromRecord and writing
// latitude() and longitude() back keeps that rule in this one place.
class Coordinate {
public:
    Coordinate() = default;   // none
    Coordinate(double latitude, double longitude) : m_latitude(latitude), m_longitude(longitude), m_valid(true) {}
    static Coordinate fromRecord(double latitude, double longitude)
    {
        return latitude == 0.0 && longitude == 0.0 ? Coordinate() : Coordinate(latitude, longitude);
    }

    bool isValid() const { return m_valid; }
    // 0 for none, as a record stores it.
    double latitude() const { return m_latitude; }
    double longitude() const { return m_longitude; }

private:
    double m_latitude = 0.0;
    double m_longitude = 0.0;
    bool m_valid = false;
};
