#include "AddressFormat.h"
#include "StreetAddress.h"

#include <gtest/gtest.h>

using namespace Engine;

TEST(StreetAddress, HouseNumbersAtEitherEnd)
{
    auto first = [](const QString &text, bool numberFirst) { return StreetAddress::readings(text, numberFirst).front(); };
    EXPECT_EQ(first(QStringLiteral("Haydnstraße 5"), false).street, QStringLiteral("Haydnstraße"));
    EXPECT_EQ(first(QStringLiteral("Haydnstraße 5"), false).houseNumber, QStringLiteral("5"));
    EXPECT_EQ(first(QStringLiteral("Haydnstr.5a"), false).houseNumber, QStringLiteral("5a"));
    EXPECT_EQ(first(QStringLiteral("Hauptstraße 12-14"), false).houseNumber, QStringLiteral("12-14"));
    EXPECT_EQ(first(QStringLiteral("Straße des 17. Juni 100"), false).street, QStringLiteral("Straße des 17. Juni"));
    EXPECT_EQ(first(QStringLiteral("5 Main St"), true).street, QStringLiteral("Main St"));
    EXPECT_EQ(first(QStringLiteral("5 Main St"), true).houseNumber, QStringLiteral("5"));
    EXPECT_EQ(first(QStringLiteral("5 Main St"), false).houseNumber, QStringLiteral("5"));
    // "Route 66" may be a street: the whole text is always the last reading.
    const auto route = StreetAddress::readings(QStringLiteral("Route 66"), false);
    EXPECT_EQ(route.back().street, QStringLiteral("Route 66"));
    EXPECT_TRUE(route.back().houseNumber.isEmpty());
    EXPECT_EQ(StreetAddress::readings(QStringLiteral("Marktplatz"), false).size(), 1u);
}

TEST(AddressFormat, WrittenAsInTheCountry)
{
    using namespace AddressFormat;
    EXPECT_EQ(address(QStringLiteral("DE"), streetLine(QStringLiteral("DE"), QStringLiteral("Haydnstraße"), QStringLiteral("5")),
                      QStringLiteral("88486"), QStringLiteral("Kirchberg an der Iller"), {}),
              QStringLiteral("Haydnstraße 5, 88486 Kirchberg an der Iller"));
    EXPECT_EQ(address(QStringLiteral("US"), streetLine(QStringLiteral("US"), QStringLiteral("Main St"), QStringLiteral("5")),
                      QStringLiteral("02134"), QStringLiteral("Boston"), QStringLiteral("MA")),
              QStringLiteral("5 Main St, Boston, MA 02134"));
    EXPECT_EQ(postcodeArea(QStringLiteral("DE"), QStringLiteral("80331"), QStringLiteral("München"), {}), QStringLiteral("80331 München"));
    EXPECT_EQ(postcodeArea(QStringLiteral("GB"), QStringLiteral("SW1A 1AA"), QStringLiteral("London"), {}), QStringLiteral("London SW1A 1AA"));
    EXPECT_EQ(postcodeArea(QStringLiteral("DE"), QStringLiteral("80331"), {}, {}), QStringLiteral("80331"));
    EXPECT_EQ(place(QStringLiteral("CA"), QStringLiteral("Ottawa"), regionCode(QStringLiteral("CA"), QStringLiteral("08"))),
              QStringLiteral("Ottawa, ON"));
}
