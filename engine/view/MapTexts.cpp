#include "MapTexts.h"

MapTexts MapTexts::forLanguage(QLocale::Language language)
{
    if (language == QLocale::German)
        return {QStringLiteral("Standard"), QStringLiteral("Navigation"), QStringLiteral("Ort und Maßstab"),
                QStringLiteral("Zeichnen"),
                QStringLiteral("Vergrößern"), QStringLiteral("Verkleinern"), QStringLiteral("Startansicht"),
                QStringLiteral("Karte kopieren"),
                QStringLiteral("Welt"), QStringLiteral("Nach Norden"), QStringLiteral("Nach Süden"),
                QStringLiteral("Nach Westen"), QStringLiteral("Nach Osten"), QStringLiteral("Alle Pins zeigen"),
                QStringLiteral("Pin setzen"), QStringLiteral("Gesetzte Pins entfernen"), QStringLiteral("Pin %1"),
                QStringLiteral("Offenes Meer")};
    return {QStringLiteral("Standard"), QStringLiteral("Navigation"), QStringLiteral("Location and Scale"),
            QStringLiteral("Drawing"),
            QStringLiteral("Zoom In"), QStringLiteral("Zoom Out"), QStringLiteral("Start View"),
            QStringLiteral("Copy Map"),
            QStringLiteral("World"), QStringLiteral("Pan North"), QStringLiteral("Pan South"),
            QStringLiteral("Pan West"), QStringLiteral("Pan East"), QStringLiteral("Show All Pushpins"),
            QStringLiteral("Place Pushpin"), QStringLiteral("Remove Drawn Pushpins"), QStringLiteral("Pushpin %1"),
            QStringLiteral("Open water")};
}
