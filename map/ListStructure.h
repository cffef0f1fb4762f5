#pragma once
// One candidate of the last address search. Longitude comes before latitude here, unlike in
// RAddressSearchResult.

#include <StatusKind.h>

#include <QString>

#include <QtGlobal>

struct RListStructure {
    qint32 ResultNumber = 0;  // 1-based number of the engine result it came from
    double Longitude = 0.0;
    double Latitude = 0.0;
    QString DisplayName;
    qint32 LocationKind = 0;   // the engine's number of a ::LocationKind
    ::StatusKind StatusKind = ::StatusKind::None;
    bool NeedsControl = false;
    bool HasPostalAddress = false;
    QString Postcode;
    QString City;
    QString Street;
};
