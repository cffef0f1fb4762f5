#include "CountryDataUnit.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>

#include <gtest/gtest.h>

namespace {
QApplication &application()
{
    static int argc = 1;
    static char name[] = "test_country_combo";
    static char *argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}
}

TEST(CountryComboBox, FillReplacesItemsAndTextAndSelectsNothing)
{
    application();
    QComboBox box;
    box.setEditable(true);
    box.addItem(QStringLiteral("stale"));
    box.setEditText(QStringLiteral("typed"));
    TCountryData countries;
    countries.FillComboBox(&box);
    ASSERT_EQ(box.count(), 16);
    EXPECT_EQ(box.itemText(0), QStringLiteral("Germany"));
    EXPECT_EQ(box.itemText(15), QStringLiteral("Canada"));
    EXPECT_EQ(box.currentIndex(), -1);
    EXPECT_EQ(box.currentText(), QString());
    EXPECT_EQ(countries.GetSelectedCode(), QString());
}

TEST(CountryComboBox, SelectionFollowsCodesAndTheUser)
{
    application();
    QComboBox box;
    TCountryData countries;
    countries.FillComboBox(&box);
    EXPECT_EQ(box.currentIndex(), -1);
    countries.SelectCode(QStringLiteral("A"));
    EXPECT_EQ(box.currentText(), QStringLiteral("Austria"));
    countries.SelectCode(QStringLiteral("DE"));
    EXPECT_EQ(box.currentText(), QStringLiteral("Austria"));
    box.setCurrentIndex(13);
    EXPECT_EQ(countries.GetSelectedCode(), QStringLiteral("IRL"));
}

TEST(CountryComboBox, AComboBoxDestroyedFirstIsNoLongerUsed)
{
    application();
    TCountryData countries;
    {
        QComboBox box;
        countries.FillComboBox(&box);
        countries.SelectCode(QStringLiteral("D"));
        EXPECT_EQ(countries.GetSelectedCode(), QStringLiteral("D"));
    }
    EXPECT_EQ(countries.GetSelectedCode(), QString());
    countries.SelectCode(QStringLiteral("F"));
    EXPECT_EQ(countries.GetMapCountry(QStringLiteral("F")), 84);
}
