#include "TextKey.h"

#include <gtest/gtest.h>

using namespace Engine;

TEST(TextKey, NamesFoldCaseAccentsAndUmlautSpellings)
{
    const std::string munich = TextKey::name(u"München");
    for (const char16_t *s : {u"Muenchen", u"MÜNCHEN", u"München ", u"Munchen", u"  münchen\t", u"MUENCHEN"})
        EXPECT_EQ(TextKey::name(s), munich) << QString::fromUtf16(s).toStdString();
    EXPECT_EQ(TextKey::name(u"Köln"), TextKey::name(u"Koeln"));
    EXPECT_EQ(TextKey::name(u"Zürich"), TextKey::name(u"ZURICH"));
    EXPECT_EQ(TextKey::name(u"Bourg-en-Bresse"), TextKey::name(u"Bourg en Bresse"));
    EXPECT_EQ(TextKey::name(u"Frankfurt (Oder)"), TextKey::name(u"Frankfurt Oder"));
    EXPECT_EQ(TextKey::name(u"Ærøskøbing"), TextKey::name(u"Aeroskobing"));
    EXPECT_NE(TextKey::name(u"Berg"), TextKey::name(u"Burg"));
}

TEST(TextKey, StreetAndSaintAbbreviations)
{
    const std::string haydn = TextKey::name(u"Haydnstraße");
    for (const char16_t *s : {u"Haydnstrasse", u"Haydnstr.", u"Haydnstr", u"Haydn Straße", u"Haydn-Strasse", u"HAYDNSTRASSE"})
        EXPECT_EQ(TextKey::name(s), haydn) << QString::fromUtf16(s).toStdString();
    EXPECT_EQ(TextKey::name(u"St. Gallen"), TextKey::name(u"Sankt Gallen"));
    EXPECT_EQ(TextKey::name(u"Saint-Étienne"), TextKey::name(u"St Etienne"));
    EXPECT_EQ(TextKey::name(u"Main Street"), TextKey::name(u"Main St."));
    EXPECT_EQ(TextKey::name(u"5th Avenue"), TextKey::name(u"5th Ave"));
    EXPECT_EQ(TextKey::name(u"Boulevard Saint-Germain"), TextKey::name(u"BLVD ST GERMAIN"));
    // Several umlauts in one word, spelt out or not, and a word longer than any abbreviation.
    EXPECT_EQ(TextKey::name(u"Goethe-Schuelerstrasse"), TextKey::name(u"Göthe Schülerstr."));
    EXPECT_EQ(TextKey::name(u"Müller-Lüdenscheidt-Straße"), "mullerludenscheidtstr");
}

TEST(TextKey, NamesTypedShort)
{
    const auto abbreviates = [](const char16_t *typed, const char16_t *name, bool restOptional = false) {
        return TextKey::wordsAbbreviate(TextKey::nameWords(typed), TextKey::nameWords(name), restOptional);
    };
    EXPECT_TRUE(abbreviates(u"Weil a. Rhein", u"Weil am Rhein"));
    EXPECT_TRUE(abbreviates(u"Neumarkt i.d.OPf.", u"Neumarkt in der Oberpfalz"));
    EXPECT_TRUE(abbreviates(u"Rothenburg o.d.T.", u"Rothenburg ob der Tauber"));
    EXPECT_TRUE(abbreviates(u"Bad Homburg v.d.H.", u"Bad Homburg vor der Höhe"));
    EXPECT_TRUE(abbreviates(u"Frankfurt/M.", u"Frankfurt am Main"));
    EXPECT_TRUE(abbreviates(u"Neustadt/Aisch", u"Neustadt an der Aisch"));
    EXPECT_FALSE(abbreviates(u"Frankfurt/M.", u"Frankfurt (Oder)"));
    EXPECT_FALSE(abbreviates(u"Weil a. Rhein", u"Weil der Stadt"));
    EXPECT_FALSE(abbreviates(u"Neustadt", u"Neustadt am Rübenberge"));
    EXPECT_TRUE(abbreviates(u"Neustadt", u"Neustadt am Rübenberge", true));
    EXPECT_FALSE(abbreviates(u"Neustadt Holstein", u"Neustadt am Rübenberge", true));
    EXPECT_EQ(TextKey::name(u"Ste-Foy"), TextKey::name(u"Sainte-Foy"));
    EXPECT_EQ(TextKey::name(u"St-Malo"), TextKey::name(u"Saint-Malo"));
}

TEST(TextKey, HouseNumbers)
{
    EXPECT_EQ(TextKey::houseNumber(u"12 a"), TextKey::houseNumber(u"12a"));
    EXPECT_EQ(TextKey::houseNumber(u"12A"), "12a");
    EXPECT_NE(TextKey::houseNumber(u"1-3"), TextKey::houseNumber(u"13"));
    EXPECT_NE(TextKey::houseNumber(u"12/1"), TextKey::houseNumber(u"121"));
    EXPECT_EQ(TextKey::houseNumber(u"1 - 3"), TextKey::houseNumber(u"1–3"));
}

TEST(TextKey, EmptyAndSymbolOnlyNamesHaveNoKey)
{
    EXPECT_EQ(TextKey::name(u""), "");
    EXPECT_EQ(TextKey::name(u" - . , "), "");
    EXPECT_EQ(TextKey::name(u"'; DROP TABLE place; --"), TextKey::name(u"drop table place"));
}

TEST(TextKey, Postcodes)
{
    EXPECT_EQ(TextKey::postcode(u"US", u"02134"), "02134");
    EXPECT_EQ(TextKey::postcode(u"US", u"2134"), "02134");          // leading zero lost in a number column
    EXPECT_EQ(TextKey::postcode(u"US", u"02134-1234"), "02134");    // ZIP+4
    EXPECT_EQ(TextKey::postcode(u"US", u"021341234"), "02134");
    EXPECT_EQ(TextKey::postcode(u"US", u"02134 "), "02134");
    EXPECT_EQ(TextKey::postcode(u"CA", u"k1a 0b1"), "K1A0B1");
    EXPECT_EQ(TextKey::postcode(u"CA", u"K1A0B1"), "K1A0B1");
    EXPECT_EQ(TextKey::postcode(u"GB", u"SW1A 1AA"), TextKey::postcode(u"GB", u"sw1a1aa"));
    EXPECT_EQ(TextKey::postcode(u"DE", u"D-80331"), "80331");
    EXPECT_EQ(TextKey::postcode(u"DE", u" 80331 "), "80331");
    EXPECT_EQ(TextKey::postcode(u"NL", u"1234 AB"), "1234AB");
}

TEST(TextKey, PostcodeDistricts)
{
    EXPECT_EQ(TextKey::postcodeDistrict(u"CA", "K1A0B1"), "K1A");
    EXPECT_EQ(TextKey::postcodeDistrict(u"GB", "SW1A1AA"), "SW1A");
    EXPECT_EQ(TextKey::postcodeDistrict(u"GB", "M11AE"), "M1");
    EXPECT_EQ(TextKey::postcodeDistrict(u"NL", "1234AB"), "1234");
    EXPECT_EQ(TextKey::postcodeDistrict(u"DE", "80331"), "");
    EXPECT_EQ(TextKey::postcodeDistrict(u"CA", "K1A"), "");
}

TEST(TextKey, CleanedInput)
{
    EXPECT_EQ(TextKey::cleaned(u"  Haupt\tstraße \x01\x7f 5  "), QStringLiteral("Haupt straße 5"));
    const QChar lone[] = {QChar(u'A'), QChar(0xD800), QChar(u'B'), QChar(0xDC00)};
    EXPECT_EQ(TextKey::cleaned(QStringView(lone, 4)), QStringLiteral("AB"));
    EXPECT_LE(TextKey::cleaned(QString(10000, u'x')).size(), 200);
    const QString pair = QString::fromUcs4(U"\U0001F600");
    EXPECT_EQ(TextKey::cleaned(pair), pair);
}

TEST(TextKey, EditDistance)
{
    EXPECT_EQ(TextKey::editDistance("muchen", "munchen", 2), 1);
    EXPECT_EQ(TextKey::editDistance("munhcen", "munchen", 2), 1);   // swapped neighbours
    EXPECT_EQ(TextKey::editDistance("berlin", "berlin", 1), 0);
    EXPECT_EQ(TextKey::editDistance("hamburg", "bremen", 2), 3);
    EXPECT_EQ(TextKey::editDistance("abc", "abcdefg", 2), 3);
}
