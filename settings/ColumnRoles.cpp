#include "ColumnRoles.h"

#include <algorithm>

const std::array<ColumnRoleEntry, ColumnRoles::Count> &ColumnRoles::All()
{
    static constexpr std::array<ColumnRoleEntry, Count> roles = {{
        {ColumnRole::Identifier, "id", "IdentifierComboBox", ColumnKind::Text, "KolmNummer", 30, "Id", 12, nullptr},
        {ColumnRole::Name, "name", "NameComboBox", ColumnKind::Text, "Name1", 32, "Name", 20, nullptr},
        {ColumnRole::Country, "country", "CountryComboBox", ColumnKind::Text, "LandKennz", 5, "Counry", 5, nullptr},
        {ColumnRole::Postcode, "postcode", "PostcodeComboBox", ColumnKind::Text, "Plz", 10, "Postcode", 6, nullptr},
        {ColumnRole::City, "city", "CityComboBox", ColumnKind::Text, "Ort", 30, "City", 20, nullptr},
        {ColumnRole::Street, "street", "StreetComboBox", ColumnKind::Text, "Strasse", 80, "Street", 30, nullptr},
        {ColumnRole::ControlGeocode, "control", "ControlGeocodeComboBox", ColumnKind::YesNo, "MPControlGeocode", 0,
         "Need control", 3, nullptr},
        {ColumnRole::StatusText, "status", "StatusTextComboBox", ColumnKind::Text, "MPStatus", 50, "Geocode Status",
         10, nullptr},
        {ColumnRole::GeocodedOn, "address", "GeocodedOnComboBox", ColumnKind::Text, "MPAddress", 50, "Geocoded on",
         40, nullptr},
        {ColumnRole::Latitude, "lat", "LatitudeComboBox", ColumnKind::Float, "W2MP", 0, "Latitude", 10, "#.00000"},
        {ColumnRole::Longitude, "lon", "LongitudeComboBox", ColumnKind::Float, "W1MP", 0, "Longitude", 10, "#.00000"},
    }};
    static_assert(std::ranges::all_of(roles, [](const ColumnRoleEntry &e) {
        return &e - roles.data() == static_cast<int>(e.role);
    }), "the table is indexed by role");
    return roles;
}

const ColumnRoleEntry &ColumnRoles::Of(ColumnRole role)
{
    return All()[static_cast<std::size_t>(role)];
}

std::optional<ColumnRole> ColumnRoles::FromWord(const QString &word)
{
    for (const ColumnRoleEntry &entry : All())
        if (word == QLatin1String(entry.word))
            return entry.role;
    return std::nullopt;
}
