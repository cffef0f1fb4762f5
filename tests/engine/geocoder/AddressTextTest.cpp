#include "AddressFormat.h"
#include "StreetAddress.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

#include <random>

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

// The reading of a number at the end is written out by hand for speed; it must split every text
// as the pattern it stands for does, down to spaces, commas, dots, dashes and odd characters.
TEST(StreetAddress, NumbersAtTheEndAreReadAsThePatternReadsThem)
{
    const QRegularExpression trailing(QStringLiteral(R"(^(.*[^\d\s,])[\s,.]*\s(\d+\s?[a-zA-Z]?(?:\s?[-/–—]\s?\d+\s?[a-zA-Z]?)?)$)"));
    const QRegularExpression afterDot(QStringLiteral(R"(^(.*\.)(\d+\s?[a-zA-Z]?(?:\s?[-/–—]\s?\d+\s?[a-zA-Z]?)?)$)"));
    const QString alphabet = QStringLiteral("aZß 1 0 9,.-/–—\t\r\v\f\u00a0\u2028\u0085\u0661x");
    std::mt19937 random(11);
    for (int i = 0; i < 300000; ++i) {
        QString text;
        for (int n = int(random() % 10); n > 0; --n)
            text += alphabet[qsizetype(random() % uint32_t(alphabet.size()))];
        QRegularExpressionMatch m = trailing.match(text);
        if (!m.hasMatch())
            m = afterDot.match(text);
        QString read;
        for (const StreetAddress &a : StreetAddress::readings(text, false))
            if (!a.numberFirst && !a.houseNumber.isEmpty()) {
                read = a.street + u'|' + a.houseNumber;
                break;
            }
        const QString expected = m.hasMatch() ? m.captured(1).trimmed() + u'|' + m.captured(2) : QString();
        ASSERT_EQ(read.toStdString(), expected.toStdString()) << "text: \"" << text.toStdString() << '"';
    }
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

// A missing part takes its separator with it; the next part follows the separator that came after
// the last part written.
TEST(AddressFormat, MissingPartsLeaveNoStraySeparators)
{
    using namespace AddressFormat;
    const QString us = QStringLiteral("US"), line = QStringLiteral("5 Main St"), zip = QStringLiteral("02134");
    const QString boston = QStringLiteral("Boston"), ma = QStringLiteral("MA");
    EXPECT_EQ(address(us, line, zip, boston, {}), QStringLiteral("5 Main St, Boston, 02134"));
    EXPECT_EQ(address(us, line, zip, {}, ma), QStringLiteral("5 Main St, MA 02134"));
    EXPECT_EQ(address(us, line, {}, {}, ma), QStringLiteral("5 Main St, MA"));
    EXPECT_EQ(address(us, {}, zip, boston, ma), QStringLiteral("Boston, MA 02134"));
    EXPECT_EQ(address(us, {}, zip, {}, {}), zip);
    EXPECT_EQ(address(QStringLiteral("GB"), QStringLiteral("10 Downing St"), QStringLiteral("SW1A 2AA"), {}, {}),
              QStringLiteral("10 Downing St, SW1A 2AA"));
    EXPECT_EQ(address(QStringLiteral("DE"), QStringLiteral("Haydnstraße 5"), {}, QStringLiteral("Kirchberg"), {}),
              QStringLiteral("Haydnstraße 5, Kirchberg"));
    EXPECT_EQ(address(QStringLiteral("DE"), {}, {}, {}, {}), QString());
}
