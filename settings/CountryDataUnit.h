#pragma once
#include "ComboBoxItems.h"

#include <QString>

#include <array>
#include <memory>

class QComboBox;

struct RCountryData {
    QString Code;            // as the customer table holds it; every look-up keys on it
    QString LongCode;
    QString IsoCode;
    QString CountryNumber;
    qint32 PhonePrefix = 0;
    qint32 MapCountry = 0;   // the map engine's country number
    QString EnglishName;     // shown in the combo box
    QString GermanName;
};

// The fixed table of the sixteen countries the program knows, with the look-ups between code,
// map engine country number and combo-box row. Code comparisons are exact and case-sensitive.
class TCountryData {
public:
    static constexpr int MaxCountries = 16;

    TCountryData();
    ~TCountryData();
    TCountryData(const TCountryData &) = delete;
    TCountryData &operator=(const TCountryData &) = delete;

    // Indices outside 0..15 are ignored.
    void AddCountry(int index, const QString &code, const QString &longCode, const QString &isoCode,
                    const QString &countryNumber, qint32 phonePrefix, qint32 mapCountry,
                    const QString &englishName, const QString &germanName);

    // Binds the combo box (not owned), clears it and lists the English names in row order with
    // nothing selected. The QComboBox overload lives in orvane_settings_combo (CountryComboBox.cpp).
    void FillComboBox(QComboBox *comboBox);
    void FillComboBox(std::unique_ptr<IComboBoxItems> items);

    QString GetSelectedCode() const;            // empty when unbound or nothing selected
    void SelectCode(const QString &code);       // leaves the combo box as it was when no row matches
    qint32 GetMapCountry(const QString &code) const;   // 0 when no row matches

    int Count() const;
    const RCountryData &Row(int i) const;       // throws std::out_of_range outside 0..Count()-1

private:
    std::unique_ptr<IComboBoxItems> FComboBox;
    std::array<RCountryData, MaxCountries> FCountries;
    qint32 FCount = 0;
};
