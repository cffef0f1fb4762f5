#pragma once

#include <ColumnDef.h>

#include <QString>

#include <array>
#include <optional>

// The eleven columns of a customer table the program works with. Their order is the order of the
// field slots and of the grid's columns; everything else reaches a role by its name.
enum class ColumnRole {
    Identifier, Name, Country, Postcode, City, Street,
    ControlGeocode, StatusText, GeocodedOn, Latitude, Longitude
};

// One role: its word on the command line, its value in the per-user store (also the name of its
// combo box in the mapping dialog), the kind of column it takes, and its field slot.
struct ColumnRoleEntry {
    ColumnRole role;
    const char *word;
    const char *valueName;
    ColumnKind kind;
    const char *slotColumn;   // the slot's column until the mapping binds it
    int size;
    const char *label;        // the grid's column title
    int displayWidth;
    const char *displayFormat;  // nullptr: none

    QString Word() const { return QString::fromLatin1(word); }
    QString ValueName() const { return QString::fromLatin1(valueName); }
};

// The table of the column roles that the field slots, the mapping dialog, the per-user store,
// orvane-batch's --map and the batch run all read.
class ColumnRoles {
public:
    static constexpr int Count = 11;

    static const std::array<ColumnRoleEntry, Count> &All();
    static const ColumnRoleEntry &Of(ColumnRole role);
    // The role of a --map word; nullopt for a word that names none.
    static std::optional<ColumnRole> FromWord(const QString &word);
};
