#pragma once
// An address as a record gives it to a search.

#include <QString>

struct RAddressParts {
    QString Country, Postcode, City, Street;
};
