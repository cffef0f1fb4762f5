#pragma once

#include <Field.h>
#include <RecordSet.h>

#include <QString>

// The program's eleven field slots of the customer record set; 'lowerCase' for servers that fold
// unquoted names.
inline void addCustomerSlots(RecordSet &rs, bool lowerCase = false)
{
    const auto name = [lowerCase](const char *column) {
        const QString n = QString::fromLatin1(column);
        return lowerCase ? n.toLower() : n;
    };
    rs.addField(FieldKind::WideText, name("KolmNummer"), 30, "Id", 12);
    rs.addField(FieldKind::WideText, name("Name1"), 32, "Name", 20);
    rs.addField(FieldKind::WideText, name("LandKennz"), 5, "Counry", 5);
    rs.addField(FieldKind::WideText, name("Plz"), 10, "Postcode", 6);
    rs.addField(FieldKind::WideText, name("Ort"), 30, "City", 20);
    rs.addField(FieldKind::WideText, name("Strasse"), 80, "Street", 30);
    rs.addField(FieldKind::Boolean, name("MPControlGeocode"), 0, "Need control", 3, "Yes;");
    rs.addField(FieldKind::WideText, name("MPStatus"), 50, "Geocode Status", 10);
    rs.addField(FieldKind::WideText, name("MPAddress"), 50, "Geocoded on", 40);
    rs.addField(FieldKind::Float, name("W2MP"), 0, "Latitude", 10, "#.00000");
    rs.addField(FieldKind::Float, name("W1MP"), 0, "Longitude", 10, "#.00000");
}
