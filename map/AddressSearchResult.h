#pragma once
// The outcome of one address search, as the runs write it into a record.

#include <QString>

#include <QtGlobal>

struct RAddressSearchResult {
    bool Found = false;
    double Latitude = 0.0;
    double Longitude = 0.0;
    bool NeedsControl = false;
    qint32 StatusKind = 0;  // 0 none, 1 postcode, 2 city, 3 street, 4 graphic, 5 GPS
    QString Country;
    QString Postcode;
    QString City;
    QString Street;
    QString MatchedAddress;
};
