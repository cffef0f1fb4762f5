#pragma once
// The outcome of one address search, as the runs write it into a record.

#include <StatusKind.h>

#include <QString>

#include <QtGlobal>

struct RAddressSearchResult {
    bool Found = false;
    double Latitude = 0.0;
    double Longitude = 0.0;
    bool NeedsControl = false;
    ::StatusKind StatusKind = ::StatusKind::None;
    QString Country;
    QString Postcode;
    QString City;
    QString Street;
    QString MatchedAddress;
};
