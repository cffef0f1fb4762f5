#pragma once
// Helpers for tests that start the main window on a test database.

#include "TestDatabase.h"

#include <ModalScript.h>

#include <ConfigurationUnit.h>
// The including test file brings in the generated ConfigurationForm class (ui_ConfigurationForm.h).

#include <QComboBox>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>

inline QString storeFile()
{
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Orvane"));
    return settings.fileName();
}

inline void clearStore()
{
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Orvane"));
    settings.clear();
    settings.sync();
    QFile::remove(settings.fileName());
}

inline void pick(QComboBox *combo, const QString &text)
{
    combo->setCurrentIndex(combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive));
}

// Maps the usual kunden columns and presses Ok.
inline void mapKunden(QWidget *modal)
{
    auto *form = static_cast<TConfigurationForm *>(modal);
    auto &ui = *form->ui;
    ui.TableListBox->setCurrentItem(ui.TableListBox->findItems(QStringLiteral("kunden"), Qt::MatchExactly).value(0));
    pick(ui.IdentifierComboBox, QStringLiteral("KolmNummer"));
    pick(ui.NameComboBox, QStringLiteral("Name1"));
    pick(ui.CountryComboBox, QStringLiteral("LandKennz"));
    pick(ui.PostcodeComboBox, QStringLiteral("Plz"));
    pick(ui.CityComboBox, QStringLiteral("Ort"));
    pick(ui.StreetComboBox, QStringLiteral("Strasse"));
    pick(ui.StatusTextComboBox, QStringLiteral("MPStatus"));
    pick(ui.GeocodedOnComboBox, QStringLiteral("MPAddress"));
    pick(ui.ControlGeocodeComboBox, QStringLiteral("MPControlGeocode"));
    pick(ui.LatitudeComboBox, QStringLiteral("W2MP"));
    pick(ui.LongitudeComboBox, QStringLiteral("W1MP"));
    ui.Button1->click();
}

