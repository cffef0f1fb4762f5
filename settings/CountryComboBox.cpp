#include "CountryComboBox.h"

#include "CountryDataUnit.h"

#include <QComboBox>

CountryComboBox::CountryComboBox(QComboBox *comboBox) : FComboBox(comboBox) {}

void CountryComboBox::clear()
{
    if (!FComboBox)
        return;
    FComboBox->clear();
    FComboBox->clearEditText();
}

void CountryComboBox::addItem(const QString &text)
{
    if (FComboBox)
        FComboBox->addItem(text);
}

int CountryComboBox::currentIndex() const
{
    return FComboBox ? FComboBox->currentIndex() : -1;
}

void CountryComboBox::setCurrentIndex(int index)
{
    if (FComboBox)
        FComboBox->setCurrentIndex(index);
}

void TCountryData::FillComboBox(QComboBox *comboBox)
{
    FillComboBox(comboBox ? std::make_unique<CountryComboBox>(comboBox) : nullptr);
}
