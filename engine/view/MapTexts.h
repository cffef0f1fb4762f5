#pragma once
#include <QLocale>
#include <QString>

// The engine's user-interface texts in the system language: German on a German system, English
// everywhere else.
struct MapTexts {
    QString standardToolbar, navigationToolbar, locationAndScaleToolbar, drawingToolbar;
    QString zoomIn, zoomOut, startView, copyMap;
    QString world, panNorth, panSouth, panWest, panEast, showAllPins;
    QString placePin, removeDrawnPins, pinName;   // pinName has %1 for the number
    QString openWater;

    static MapTexts forLanguage(QLocale::Language language);
    static QLocale::Language systemLanguage() { return QLocale::system().language(); }
};
