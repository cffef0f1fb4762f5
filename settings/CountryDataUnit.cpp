#include "CountryDataUnit.h"

#include <stdexcept>

TCountryData::TCountryData()
{
    AddCountry(0, QStringLiteral("D"), QStringLiteral("DEU"), QStringLiteral("DE"), QStringLiteral("004"), 49, 94, QStringLiteral("Germany"), QStringLiteral("Deutschland"));
    AddCountry(1, QStringLiteral("A"), QStringLiteral("AUS"), QStringLiteral("AT"), QStringLiteral("038"), 43, 14, QStringLiteral("Austria"), QStringLiteral("Österreich"));
    AddCountry(2, QStringLiteral("CH"), QStringLiteral("CH"), QStringLiteral("CH"), QStringLiteral("039"), 41, 223, QStringLiteral("Switzerland"), QStringLiteral("Schweiz"));
    AddCountry(3, QStringLiteral("FL"), QStringLiteral("LIE"), QStringLiteral("LI"), QStringLiteral("37"), 41, 145, QStringLiteral("Liechtenstein"), QStringLiteral("Liechtenstein"));
    AddCountry(4, QStringLiteral("I"), QStringLiteral("ITL"), QStringLiteral("IT"), QStringLiteral("005"), 46, 118, QStringLiteral("Italy"), QStringLiteral("Italien"));
    AddCountry(5, QStringLiteral("F"), QStringLiteral("FR"), QStringLiteral("FR"), QStringLiteral("001"), 33, 84, QStringLiteral("France"), QStringLiteral("Frankreich"));
    AddCountry(6, QStringLiteral("E"), QStringLiteral("ESP"), QStringLiteral("ES"), QStringLiteral("011"), 34, 217, QStringLiteral("Spain"), QStringLiteral("Spanien"));
    AddCountry(7, QStringLiteral("P"), QStringLiteral("POR"), QStringLiteral("PT"), QStringLiteral("010"), 351, 193, QStringLiteral("Portugal"), QStringLiteral("Portugal"));
    AddCountry(8, QStringLiteral("B"), QStringLiteral("BEL"), QStringLiteral("BE"), QStringLiteral("002"), 32, 21, QStringLiteral("Belgium"), QStringLiteral("Belgien"));
    AddCountry(9, QStringLiteral("NL"), QStringLiteral("NL"), QStringLiteral("NL"), QStringLiteral("003"), 31, 176, QStringLiteral("Netherlands"), QStringLiteral("Niederlande"));
    AddCountry(10, QStringLiteral("L"), QStringLiteral("LUX"), QStringLiteral("LU"), QStringLiteral("002"), 352, 147, QStringLiteral("Luxembourg"), QStringLiteral("Luxemburg"));
    AddCountry(11, QStringLiteral("DK"), QStringLiteral("DK"), QStringLiteral("DK"), QStringLiteral("008"), 45, 61, QStringLiteral("Denmark"), QStringLiteral("Dänemark"));
    AddCountry(12, QStringLiteral("GB"), QStringLiteral("GB"), QStringLiteral("GB"), QStringLiteral("006"), 44, 242, QStringLiteral("United Kingdom"), QStringLiteral("Vereinigtes Königreich"));
    AddCountry(13, QStringLiteral("IRL"), QStringLiteral("IRL"), QStringLiteral("IE"), QStringLiteral("007"), 353, 68, QStringLiteral("Ireland"), QStringLiteral("Irland"));
    AddCountry(14, QStringLiteral("USA"), QStringLiteral("USA"), QStringLiteral("US"), QStringLiteral("400"), 1, 244, QStringLiteral("United States"), QStringLiteral("Vereinigte Staaten (USA)"));
    AddCountry(15, QStringLiteral("CAN"), QStringLiteral("CAN"), QStringLiteral("CA"), QStringLiteral("404"), 1, 39, QStringLiteral("Canada"), QStringLiteral("Kanada"));
}

TCountryData::~TCountryData() = default;

void TCountryData::AddCountry(int index, const QString &code, const QString &longCode, const QString &isoCode,
                              const QString &countryNumber, qint32 phonePrefix, qint32 mapCountry,
                              const QString &englishName, const QString &germanName)
{
    if (index < 0 || index >= MaxCountries)
        return;
    FCountries[index] = {code, longCode, isoCode, countryNumber, phonePrefix, mapCountry, englishName, germanName};
    // Storing a row twice must not count rows that do not exist.
    if (FCount < MaxCountries)
        ++FCount;
}

void TCountryData::FillComboBox(std::unique_ptr<IComboBoxItems> items)
{
    FComboBox = std::move(items);
    if (!FComboBox)
        return;
    FComboBox->clear();
    for (int i = 0; i < FCount; ++i)
        FComboBox->addItem(FCountries[i].EnglishName);
    // A combo box selects its first item on its own; the table starts with nothing selected.
    FComboBox->setCurrentIndex(-1);
}

QString TCountryData::GetSelectedCode() const
{
    const int i = FComboBox ? FComboBox->currentIndex() : -1;
    return i >= 0 && i < FCount ? FCountries[i].Code : QString();
}

void TCountryData::SelectCode(const QString &code)
{
    if (!FComboBox)
        return;
    for (int i = 0; i < FCount; ++i) {
        if (FCountries[i].Code == code) {
            FComboBox->setCurrentIndex(i);
            return;
        }
    }
}

qint32 TCountryData::GetMapCountry(const QString &code) const
{
    for (int i = 0; i < FCount; ++i) {
        if (FCountries[i].Code == code)
            return FCountries[i].MapCountry;
    }
    return 0;
}

int TCountryData::Count() const
{
    return FCount;
}

const RCountryData &TCountryData::Row(int i) const
{
    if (i < 0 || i >= FCount)
        throw std::out_of_range("country row " + std::to_string(i) + " out of range");
    return FCountries[i];
}
