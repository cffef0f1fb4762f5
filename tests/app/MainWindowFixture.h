#pragma once
// Helpers for tests that start the main window on a test database.

#include <ModalScript.h>
#include <TestDatabase.h>

#include <ConfigurationUnit.h>
// The including test file brings in the generated ConfigurationForm class (ui_ConfigurationForm.h).

#include <QComboBox>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>

// Customers under their usual column names, plus a table with other names and one without text.
inline const char *const CustomersSql = R"sql(
CREATE TABLE kunden (
  KolmNummer VARCHAR(30) PRIMARY KEY, Name1 VARCHAR(32), LandKennz VARCHAR(5), Plz VARCHAR(10),
  Ort VARCHAR(30), Strasse VARCHAR(80), MPControlGeocode BOOLEAN, MPStatus VARCHAR(50),
  MPAddress VARCHAR(50), W2MP DOUBLE, W1MP DOUBLE, Nummer INTEGER, Angelegt DATE);
INSERT INTO kunden VALUES ('K1', 'Huber', 'D', '80331', 'München', 'Marienplatz 1', 1, 'City',
  'München', 48.137, 11.575, 1, '2020-01-01');
INSERT INTO kunden VALUES ('K2', 'Meier', 'A', '1010', 'Wien', 'Stephansplatz 1', 0, NULL, NULL,
  0.5, -0.5, 2, NULL);
INSERT INTO kunden VALUES ('K3', 'Leer', 'D', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, 3, NULL);
CREATE TABLE customers (
  id TEXT PRIMARY KEY, name TEXT, country TEXT, zip TEXT, town TEXT, street TEXT,
  needs_check BOOLEAN, geo_status TEXT, geo_address TEXT, lat REAL, lon REAL);
INSERT INTO customers VALUES ('C1', 'Smith', 'USA', '02134', 'Boston', '1 Main St', 0, NULL, NULL, 0, 0);
CREATE TABLE numbers (n INTEGER, x DOUBLE, flag BOOLEAN);
)sql";

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

