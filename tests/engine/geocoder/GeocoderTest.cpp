#include "Geocoder.h"
#include "GazetteerImporter.h"
#include "TestFiles.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Engine;
using TestFiles::placeRow;
using TestFiles::postalRow;

namespace {

constexpr int Germany = 94, Switzerland = 223, Usa = 244, Canada = 39;

// A small gazetteer: places, postcodes and an OSM extract of Kirchberg and of a town whose
// Hauptstraße runs through two postcodes.
class GeocoderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir = new QTemporaryDir;
        const QString places = dir->filePath(QStringLiteral("places.txt")), postal = dir->filePath(QStringLiteral("postal.txt")),
                      osmFile = dir->filePath(QStringLiteral("towns.osm"));
        TestFiles::writeLines(places, {
            placeRow(1, QStringLiteral("Munich"), QStringLiteral("München,Muenchen,Munchen"), 48.13743, 11.57549, QStringLiteral("DE"), QStringLiteral("02"), 1260391),
            placeRow(2, QStringLiteral("Muchen"), {}, 51.26, 12.89, QStringLiteral("DE"), {}, 600),
            placeRow(3, QStringLiteral("Berg"), {}, 49.81, 12.14, QStringLiteral("DE"), {}, 3000),
            placeRow(4, QStringLiteral("Berg"), {}, 47.97, 11.35, QStringLiteral("DE"), {}, 8000),
            placeRow(5, QStringLiteral("Berg"), {}, 47.60, 9.40, QStringLiteral("CH"), {}, 900),
            placeRow(6, QStringLiteral("Kirchberg an der Iller"), {}, 48.135, 10.08, QStringLiteral("DE"), {}, 4800),
            placeRow(7, QStringLiteral("Boston"), {}, 42.35843, -71.05977, QStringLiteral("US"), QStringLiteral("MA"), 617594),
            placeRow(8, QStringLiteral("Neustadt"), {}, 50.00, 9.00, QStringLiteral("DE"), {}, 20000),
            placeRow(9, QStringLiteral("Springfield"), {}, 39.80, -89.64, QStringLiteral("US"), QStringLiteral("IL"), 116000),
        });
        TestFiles::writeLines(postal, {
            postalRow(QStringLiteral("US"), QStringLiteral("02134"), QStringLiteral("Allston"), QStringLiteral("MA"), 42.3535, -71.1329),
            postalRow(QStringLiteral("CA"), QStringLiteral("K1A"), QStringLiteral("Ottawa"), QStringLiteral("ON"), 45.4207, -75.7023),
        });
        TestFiles::OsmXml osm;
        osm.street(48.130, 10.080, QStringLiteral("Haydnstraße"));
        osm.address(48.1302, 10.0811, QStringLiteral("Haydnstraße"), QStringLiteral("5"), QStringLiteral("88486"),
                    QStringLiteral("Kirchberg an der Iller"));
        osm.street(50.000, 9.000, QStringLiteral("Hauptstraße"));
        osm.address(50.0002, 9.0010, QStringLiteral("Hauptstraße"), QStringLiteral("1"), QStringLiteral("11111"), QStringLiteral("Neustadt"));
        osm.street(50.030, 9.000, QStringLiteral("Hauptstraße"));
        osm.address(50.0302, 9.0010, QStringLiteral("Hauptstraße"), QStringLiteral("90"), QStringLiteral("22222"), QStringLiteral("Neustadt"));
        TestFiles::write(osmFile, osm.text());
        const QString file = dir->filePath(QStringLiteral("g.sqlite"));
        GazetteerImporter(file).import({places, postal, osmFile});
        gazetteer = new std::shared_ptr<const Gazetteer>(Gazetteer::open({file}));
    }
    static void TearDownTestSuite()
    {
        delete gazetteer;
        delete dir;
    }
    static Answer eu(const QString &street, const QString &city, const QString &postcode, int country = Germany)
    {
        return Geocoder(*gazetteer, Edition::Europe).lookup(street, city, postcode, country);
    }
    static Answer na(const QString &street, const QString &city, const QString &postcode, int country = Usa)
    {
        return Geocoder(*gazetteer, Edition::NorthAmerica).lookup(street, city, postcode, country);
    }
    static inline QTemporaryDir *dir = nullptr;
    static inline std::shared_ptr<const Gazetteer> *gazetteer = nullptr;
};

} // namespace

TEST_F(GeocoderTest, CitySpellingsFindMunich)
{
    for (const QString &city : {QStringLiteral("München"), QStringLiteral("Muenchen"), QStringLiteral("MÜNCHEN"),
                                QStringLiteral("München "), QStringLiteral("Munich")}) {
        const Answer a = eu({}, city, {});
        ASSERT_EQ(a.quality, 1) << city.toStdString();
        ASSERT_FALSE(a.matches.empty());
        EXPECT_EQ(a.matches[0].kind, 5);
        EXPECT_NEAR(a.matches[0].latitude, 48.137, 0.001);
        EXPECT_FALSE(a.matches[0].postal);
    }
    EXPECT_EQ(eu({}, QStringLiteral("Muenchen"), {}).matches[0].displayName, QStringLiteral("München"));
    EXPECT_EQ(eu({}, QStringLiteral("Munich"), {}).matches[0].displayName, QStringLiteral("Munich"));
}

TEST_F(GeocoderTest, TypoGivesQualityThreeWithTheLikelyPlaceFirst)
{
    const Answer a = eu({}, QStringLiteral("Müchen"), {});
    EXPECT_EQ(a.quality, 3);
    ASSERT_GE(a.matches.size(), 2u);
    EXPECT_EQ(a.matches[0].displayName, QStringLiteral("München"));
    // Typed exactly as the village is written: the village, confidently.
    const Answer village = eu({}, QStringLiteral("Muchen"), {});
    EXPECT_EQ(village.quality, 1);
    EXPECT_NEAR(village.matches[0].latitude, 51.26, 0.01);
    EXPECT_EQ(eu({}, QStringLiteral("Mnchen"), {}).quality, 3);
}

TEST_F(GeocoderTest, AmbiguousNameOrderedByPopulation)
{
    const Answer a = eu({}, QStringLiteral("Berg"), {}, 0);
    EXPECT_EQ(a.quality, 2);
    ASSERT_EQ(a.matches.size(), 3u);
    EXPECT_NEAR(a.matches[0].latitude, 47.97, 0.01);
    EXPECT_NEAR(a.matches[1].latitude, 49.81, 0.01);
    EXPECT_EQ(eu({}, QStringLiteral("Berg"), {}, Switzerland).quality, 1);
}

TEST_F(GeocoderTest, StreetWithoutStreetDataFallsBackToTheCity)
{
    const Answer a = eu(QStringLiteral("Marienplatz 1"), QStringLiteral("München"), QStringLiteral("80331"));
    EXPECT_EQ(a.quality, 1);
    ASSERT_FALSE(a.matches.empty());
    EXPECT_EQ(a.matches[0].kind, 5);
    EXPECT_FALSE(a.matches[0].postal);
}

TEST_F(GeocoderTest, ZipCentroidsAndTheirDisplayNames)
{
    for (const QString &zip : {QStringLiteral("02134"), QStringLiteral("2134"), QStringLiteral("02134-1234")}) {
        const Answer a = na({}, QStringLiteral("Boston"), zip);
        ASSERT_EQ(a.quality, 1) << zip.toStdString();
        EXPECT_EQ(a.matches[0].kind, 12);
        EXPECT_EQ(a.matches[0].displayName, QStringLiteral("Boston, MA 02134"));
        EXPECT_FALSE(a.matches[0].postal);
    }
    EXPECT_EQ(na({}, {}, QStringLiteral("02134")).matches[0].displayName, QStringLiteral("Allston, MA 02134"));
    // A city far from the ZIP: ambiguous, both offered.
    const Answer far = na({}, QStringLiteral("Springfield"), QStringLiteral("02134"));
    EXPECT_EQ(far.quality, 2);
    EXPECT_EQ(far.matches.size(), 2u);
    const Answer fsa = na({}, {}, QStringLiteral("K1A 0B1"), Canada);
    ASSERT_EQ(fsa.matches.size(), 1u);
    EXPECT_EQ(fsa.matches[0].kind, 13);
    EXPECT_EQ(fsa.matches[0].displayName, QStringLiteral("Ottawa, ON K1A"));
}

TEST_F(GeocoderTest, HouseAndStreetFromImportedData)
{
    for (const QString &street : {QStringLiteral("Haydnstraße 5"), QStringLiteral("Haydnstr. 5"), QStringLiteral("HAYDNSTRASSE 5")}) {
        const Answer a = eu(street, QStringLiteral("Kirchberg an der Iller"), QStringLiteral("88486"));
        ASSERT_EQ(a.quality, 1) << street.toStdString();
        ASSERT_EQ(a.matches.size(), 3u);
        EXPECT_EQ(a.matches[0].kind, 1);
        EXPECT_EQ(a.matches[0].displayName, QStringLiteral("Haydnstraße 5, 88486 Kirchberg an der Iller"));
        ASSERT_TRUE(a.matches[0].postal);
        EXPECT_EQ(a.matches[0].postal->postcode, QStringLiteral("88486"));
        EXPECT_EQ(a.matches[0].postal->street, QStringLiteral("Haydnstraße 5"));
        EXPECT_EQ(a.matches[1].kind, 2);
        EXPECT_EQ(a.matches[2].kind, 12);   // the postcode area comes with street results
        EXPECT_FALSE(a.matches[2].postal);
    }
    // The postcode as typed stands in the postal address, so that it compares equal to the input.
    const Answer typed = eu(QStringLiteral("Haydnstraße"), {}, QStringLiteral("D-88486"));
    ASSERT_TRUE(typed.matches[0].postal);
    EXPECT_EQ(typed.matches[0].postal->postcode, QStringLiteral("D-88486"));
}

TEST_F(GeocoderTest, StreetInTwoPostcodesOfOneTown)
{
    const Answer both = eu(QStringLiteral("Hauptstraße"), QStringLiteral("Neustadt"), {});
    EXPECT_EQ(both.quality, 2);
    ASSERT_EQ(both.matches.size(), 2u);
    EXPECT_NE(both.matches[0].postal->postcode, both.matches[1].postal->postcode);
    const Answer one = eu(QStringLiteral("Hauptstraße"), QStringLiteral("Neustadt"), QStringLiteral("22222"));
    EXPECT_EQ(one.quality, 1);
    EXPECT_NEAR(one.matches[0].latitude, 50.03, 0.001);
    EXPECT_EQ(one.matches.back().kind, 12);
}

TEST_F(GeocoderTest, CountriesOutsideTheEditionFindNothing)
{
    EXPECT_TRUE(eu({}, QStringLiteral("Boston"), {}, Usa).matches.empty());
    EXPECT_TRUE(na({}, QStringLiteral("München"), {}, 0).matches.empty());
    EXPECT_TRUE(eu({}, QStringLiteral("München"), {}, 12345).matches.empty());
    EXPECT_FALSE(na({}, QStringLiteral("Boston"), {}, 0).matches.empty());
}

TEST_F(GeocoderTest, BadInputIsAnswered)
{
    const QString huge(10000, u'x');
    const QChar broken[] = {QChar(0xD800), QChar(u'a'), QChar(0xDFFF)};
    const QStringList inputs{QString(), huge, QStringLiteral("\x01\x02\x1b[31m"), QString(broken, 3),
                             QStringLiteral("'; DROP TABLE place; --"), QStringLiteral("\" OR 1=1 --"),
                             QStringLiteral("%_*?"), QStringLiteral("   "), QString(300, u'ü')};
    for (const QString &street : inputs)
        for (const QString &city : inputs)
            for (const QString &postcode : {QString(), huge, QStringLiteral("'1'='1")}) {
                EXPECT_NO_THROW(eu(street, city, postcode, 0));
                EXPECT_NO_THROW(na(street, city, postcode, 0));
            }
    EXPECT_TRUE(eu({}, {}, {}).matches.empty());
    EXPECT_TRUE(eu(QStringLiteral("'; DROP TABLE place; --"), {}, {}).matches.empty());
    EXPECT_EQ(eu({}, QStringLiteral("München"), {}).quality, 1);   // the store is intact
}

TEST(CountryNumbers, TableValues)
{
    EXPECT_EQ(countryNumberFor(QStringLiteral("DE")), 94);
    EXPECT_EQ(countryNumberFor(QStringLiteral("ie")), 68);
    EXPECT_EQ(countryNumberFor(QStringLiteral("CA")), 39);
    EXPECT_EQ(countryNumberFor(QStringLiteral("XX")), 0);
    EXPECT_EQ(isoCodeFor(223), QStringLiteral("CH"));
    EXPECT_EQ(isoCodeFor(0), QString());
}
