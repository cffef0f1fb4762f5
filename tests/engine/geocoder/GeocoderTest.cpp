#include "Geocoder.h"
#include "GazetteerImporter.h"
#include <TestFiles.h>

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
            placeRow(10, QStringLiteral("Neustadt am Rübenberge"), {}, 52.505, 9.459, QStringLiteral("DE"), {}, 45942),
            placeRow(11, QStringLiteral("Weil am Rhein"), {}, 47.593, 7.621, QStringLiteral("DE"), {}, 29548),
            placeRow(12, QStringLiteral("Weil der Stadt"), {}, 48.751, 8.871, QStringLiteral("DE"), {}, 19338),
            placeRow(13, QStringLiteral("Halle (Saale)"), QStringLiteral("Halle"), 51.482, 11.970, QStringLiteral("DE"), {}, 237865),
            placeRow(14, QStringLiteral("Berlin"), {}, 52.524, 13.411, QStringLiteral("DE"), {}, 3426354),
            placeRow(15, QStringLiteral("Spandau"), {}, 52.535, 13.197, QStringLiteral("DE"), {}, 39653),
            placeRow(16, QStringLiteral("Köln"), {}, 50.933, 6.950, QStringLiteral("DE"), {}, 963395),
            placeRow(17, QStringLiteral("Leipzig"), {}, 51.340, 12.371, QStringLiteral("DE"), {}, 504971),
            placeRow(18, QStringLiteral("Saint-Étienne"), {}, 45.434, 4.390, QStringLiteral("FR"), {}, 176280),
            placeRow(19, QStringLiteral("Saint-Étienne-du-Rouvray"), QStringLiteral("Saint-Étienne"), 49.377, 1.105, QStringLiteral("FR"), {}, 28953),
            placeRow(20, QStringLiteral("Ulm"), {}, 48.398, 9.991, QStringLiteral("DE"), {}, 120451),
        });
        TestFiles::writeLines(postal, {
            postalRow(QStringLiteral("US"), QStringLiteral("02134"), QStringLiteral("Allston"), QStringLiteral("MA"), 42.3535, -71.1329),
            postalRow(QStringLiteral("CA"), QStringLiteral("K1A"), QStringLiteral("Ottawa"), QStringLiteral("ON"), 45.4207, -75.7023),
            postalRow(QStringLiteral("DE"), QStringLiteral("31535"), QStringLiteral("Neustadt am Rübenberge"), {}, 52.505, 9.459, QStringLiteral("4")),
            postalRow(QStringLiteral("DE"), QStringLiteral("50667"), QStringLiteral("Köln"), {}, 50.933, 6.950, QStringLiteral("4")),
            postalRow(QStringLiteral("DE"), QStringLiteral("04109"), QStringLiteral("Leipzig"), {}, 51.340, 12.371, QStringLiteral("4")),
        });
        TestFiles::OsmXml osm;
        osm.street(48.130, 10.080, QStringLiteral("Haydnstraße"));
        osm.address(48.1302, 10.0811, QStringLiteral("Haydnstraße"), QStringLiteral("5"), QStringLiteral("88486"),
                    QStringLiteral("Kirchberg an der Iller"));
        osm.address(48.1312, 10.0821, QStringLiteral("Haydnstraße"), QStringLiteral("1"), QStringLiteral("88486"),
                    QStringLiteral("Kirchberg an der Iller"));
        osm.address(48.1322, 10.0831, QStringLiteral("Haydnstraße"), QStringLiteral("13"), QStringLiteral("88486"),
                    QStringLiteral("Kirchberg an der Iller"));
        osm.address(45.4210, -75.7010, QStringLiteral("Queen Street"), QStringLiteral("100"), QStringLiteral("K1A 0B1"),
                    QStringLiteral("Ottawa"), QStringLiteral("CA"));
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
        ASSERT_EQ(a.quality, MatchQuality::FirstGood) << city.toStdString();
        ASSERT_FALSE(a.matches.empty());
        EXPECT_EQ(a.matches[0].kind, LocationKind::PopulatedPlace);
        EXPECT_NEAR(a.matches[0].latitude, 48.137, 0.001);
        EXPECT_FALSE(a.matches[0].postal);
    }
    EXPECT_EQ(eu({}, QStringLiteral("Muenchen"), {}).matches[0].displayName, QStringLiteral("München"));
    EXPECT_EQ(eu({}, QStringLiteral("Munich"), {}).matches[0].displayName, QStringLiteral("Munich"));
}

TEST_F(GeocoderTest, TypoGivesQualityThreeWithTheLikelyPlaceFirst)
{
    const Answer a = eu({}, QStringLiteral("Müchen"), {});
    EXPECT_EQ(a.quality, MatchQuality::Partial);
    ASSERT_GE(a.matches.size(), 2u);
    EXPECT_EQ(a.matches[0].displayName, QStringLiteral("München"));
    // Typed exactly as the village is written: the village, confidently.
    const Answer village = eu({}, QStringLiteral("Muchen"), {});
    EXPECT_EQ(village.quality, MatchQuality::FirstGood);
    EXPECT_NEAR(village.matches[0].latitude, 51.26, 0.01);
    EXPECT_EQ(eu({}, QStringLiteral("Mnchen"), {}).quality, MatchQuality::Partial);
}

TEST_F(GeocoderTest, AmbiguousNameOrderedByPopulation)
{
    const Answer a = eu({}, QStringLiteral("Berg"), {}, 0);
    EXPECT_EQ(a.quality, MatchQuality::Ambiguous);
    ASSERT_EQ(a.matches.size(), 3u);
    EXPECT_NEAR(a.matches[0].latitude, 47.97, 0.01);
    EXPECT_NEAR(a.matches[1].latitude, 49.81, 0.01);
    EXPECT_EQ(eu({}, QStringLiteral("Berg"), {}, Switzerland).quality, MatchQuality::FirstGood);
}

TEST_F(GeocoderTest, StreetWithoutStreetDataFallsBackToTheCity)
{
    const Answer a = eu(QStringLiteral("Marienplatz 1"), QStringLiteral("München"), QStringLiteral("80331"));
    EXPECT_EQ(a.quality, MatchQuality::FirstGood);
    ASSERT_FALSE(a.matches.empty());
    EXPECT_EQ(a.matches[0].kind, LocationKind::PopulatedPlace);
    EXPECT_FALSE(a.matches[0].postal);
}

TEST_F(GeocoderTest, ZipCentroidsAndTheirDisplayNames)
{
    for (const QString &zip : {QStringLiteral("02134"), QStringLiteral("2134"), QStringLiteral("02134-1234")}) {
        const Answer a = na({}, QStringLiteral("Boston"), zip);
        ASSERT_EQ(a.quality, MatchQuality::FirstGood) << zip.toStdString();
        EXPECT_EQ(a.matches[0].kind, LocationKind::PostcodeArea);
        EXPECT_EQ(a.matches[0].displayName, QStringLiteral("Boston, MA 02134"));
        EXPECT_FALSE(a.matches[0].postal);
    }
    EXPECT_EQ(na({}, {}, QStringLiteral("02134")).matches[0].displayName, QStringLiteral("Allston, MA 02134"));
    // A city far from the ZIP: ambiguous, both offered.
    const Answer far = na({}, QStringLiteral("Springfield"), QStringLiteral("02134"));
    EXPECT_EQ(far.quality, MatchQuality::Ambiguous);
    EXPECT_EQ(far.matches.size(), 2u);
    const Answer fsa = na({}, {}, QStringLiteral("K1A 0B1"), Canada);
    ASSERT_EQ(fsa.matches.size(), 1u);
    EXPECT_EQ(fsa.matches[0].kind, LocationKind::PostcodeDistrict);
    EXPECT_EQ(fsa.matches[0].displayName, QStringLiteral("Ottawa, ON K1A"));
}

TEST_F(GeocoderTest, HouseAndStreetFromImportedData)
{
    for (const QString &street : {QStringLiteral("Haydnstraße 5"), QStringLiteral("Haydnstr. 5"), QStringLiteral("HAYDNSTRASSE 5")}) {
        const Answer a = eu(street, QStringLiteral("Kirchberg an der Iller"), QStringLiteral("88486"));
        ASSERT_EQ(a.quality, MatchQuality::FirstGood) << street.toStdString();
        ASSERT_EQ(a.matches.size(), 3u);
        EXPECT_EQ(a.matches[0].kind, LocationKind::AddressPoint);
        EXPECT_EQ(a.matches[0].displayName, QStringLiteral("Haydnstraße 5, 88486 Kirchberg an der Iller"));
        ASSERT_TRUE(a.matches[0].postal);
        EXPECT_EQ(a.matches[0].postal->postcode, QStringLiteral("88486"));
        EXPECT_EQ(a.matches[0].postal->street, QStringLiteral("Haydnstraße 5"));
        EXPECT_EQ(a.matches[1].kind, LocationKind::Street);
        EXPECT_EQ(a.matches[2].kind, LocationKind::PostcodeArea);   // the postcode area comes with street results
        EXPECT_FALSE(a.matches[2].postal);
    }
    // The postcode as typed stands in the postal address, so that it compares equal to the input,
    // also where only its district was typed.
    const Answer typed = eu(QStringLiteral("Haydnstraße"), {}, QStringLiteral("D-88486"));
    ASSERT_TRUE(typed.matches[0].postal);
    EXPECT_EQ(typed.matches[0].postal->postcode, QStringLiteral("D-88486"));
    const Answer fsa = na(QStringLiteral("100 Queen Street"), QStringLiteral("Ottawa"), QStringLiteral("k1a"), Canada);
    ASSERT_FALSE(fsa.matches.empty());
    ASSERT_TRUE(fsa.matches[0].postal);
    EXPECT_EQ(fsa.matches[0].kind, LocationKind::AddressPoint);
    EXPECT_EQ(fsa.matches[0].postal->postcode, QStringLiteral("k1a"));
}

// The engine's texts are views of the gazetteer's mapping; what it answers stays readable after
// the gazetteer is closed and unmapped.
TEST_F(GeocoderTest, AnswersOutliveTheirGazetteer)
{
    Answer place, house;
    {
        const auto own = Gazetteer::open({dir->filePath(QStringLiteral("g.sqlite"))});
        const Geocoder geocoder(own, Edition::Europe);
        place = geocoder.lookup({}, QStringLiteral("ulm"), {}, Germany);
        house = geocoder.lookup(QStringLiteral("Haydnstraße 5"), QStringLiteral("Kirchberg an der Iller"), {}, Germany);
    }
    ASSERT_FALSE(place.matches.empty());
    EXPECT_EQ(place.matches[0].displayName, QStringLiteral("Ulm"));
    ASSERT_FALSE(house.matches.empty());
    ASSERT_TRUE(house.matches[0].postal);
    EXPECT_EQ(house.matches[0].displayName, QStringLiteral("Haydnstraße 5, 88486 Kirchberg an der Iller"));
    EXPECT_EQ(house.matches[0].postal->city, QStringLiteral("Kirchberg an der Iller"));
    EXPECT_EQ(house.matches[0].postal->street, QStringLiteral("Haydnstraße 5"));
}

TEST_F(GeocoderTest, HouseNumberRangesAreNotOtherHouses)
{
    const auto house = [](const QString &street) { return eu(street, QStringLiteral("Kirchberg an der Iller"), QStringLiteral("88486")); };
    for (const QString &range : {QStringLiteral("Haydnstraße 1-3"), QStringLiteral("Haydnstraße 1–3"), QStringLiteral("Haydnstr. 1 - 3")}) {
        const Answer a = house(range);
        EXPECT_EQ(a.quality, MatchQuality::FirstGood) << range.toStdString();
        EXPECT_NEAR(a.matches.at(0).latitude, 48.1312, 1e-4) << range.toStdString();   // house 1, not 13
    }
    EXPECT_NEAR(house(QStringLiteral("Haydnstraße 13")).matches.at(0).latitude, 48.1322, 1e-4);
    const Answer missing = house(QStringLiteral("Haydnstraße 7-9"));
    EXPECT_EQ(missing.quality, MatchQuality::Ambiguous);
    EXPECT_EQ(missing.matches.at(0).kind, LocationKind::Street);
    EXPECT_EQ(house(QStringLiteral("Haydnstraße 12/1")).matches.at(0).kind, LocationKind::Street);   // not house 121 or 12
}

TEST_F(GeocoderTest, NamesTypedShortAndDistrictsInTheCity)
{
    const auto place = [](const QString &city) { return eu({}, city, {}); };
    for (const auto &[typed, latitude] : {std::pair{u"Weil a. Rhein", 47.593}, std::pair{u"Weil a.Rh.", 47.593},
                                          std::pair{u"Halle/S.", 51.482}, std::pair{u"Ulm/Donau", 48.398},
                                          std::pair{u"Berlin-Spandau", 52.535}, std::pair{u"Berlin-Mitte", 52.524},
                                          std::pair{u"Köln-Ehrenfeld", 50.933}, std::pair{u"Köln 4", 50.933}}) {
        const Answer a = place(QString::fromUtf16(typed));
        ASSERT_EQ(a.quality, MatchQuality::FirstGood) << QString::fromUtf16(typed).toStdString();
        EXPECT_NEAR(a.matches.at(0).latitude, latitude, 0.01) << QString::fromUtf16(typed).toStdString();
    }
    EXPECT_NE(place(QStringLiteral("Weil a. Main")).quality, MatchQuality::FirstGood);
    // The place's own name outranks a place that only carries it as an alternate name.
    const Answer own = eu({}, QStringLiteral("Saint-Étienne"), {}, 84);
    EXPECT_EQ(own.quality, MatchQuality::FirstGood);
    EXPECT_NEAR(own.matches.at(0).latitude, 45.434, 0.01);
}

TEST_F(GeocoderTest, PostcodesAtTheirPlacesDecideAndCheck)
{
    // The postcode picks the namesake it serves; the answer is the place, never a postcode area.
    Answer a = eu({}, QStringLiteral("Neustadt"), QStringLiteral("31535"));
    ASSERT_EQ(a.quality, MatchQuality::FirstGood);
    EXPECT_EQ(a.matches.at(0).kind, LocationKind::PopulatedPlace);
    EXPECT_EQ(a.matches.at(0).displayName, QStringLiteral("Neustadt am Rübenberge"));
    for (const auto &[city, postcode] : {std::pair{u"Köln", u"50667"}, std::pair{u"", u"50667"}, std::pair{u"50667 Köln", u""},
                                         std::pair{u"D-50667 Köln", u""}, std::pair{u"Köln", u"50667 "}}) {
        a = eu({}, QString::fromUtf16(city), QString::fromUtf16(postcode));
        ASSERT_EQ(a.quality, MatchQuality::FirstGood) << QString::fromUtf16(city).toStdString();
        EXPECT_EQ(a.matches.at(0).kind, LocationKind::PopulatedPlace);
        EXPECT_NEAR(a.matches.at(0).latitude, 50.933, 0.01);
    }
    // A postcode that contradicts the city: both answers, for a person to decide.
    a = eu({}, QStringLiteral("Berlin"), QStringLiteral("50667"));
    EXPECT_EQ(a.quality, MatchQuality::Ambiguous);
    ASSERT_EQ(a.matches.size(), 2u);
    EXPECT_NEAR(a.matches[0].latitude, 52.524, 0.01);
    EXPECT_NEAR(a.matches[1].latitude, 50.933, 0.01);
    // A leading zero lost by a number column counts where the city agrees, and only there.
    a = eu({}, QStringLiteral("Leipzig"), QStringLiteral("4109"));
    EXPECT_EQ(a.quality, MatchQuality::FirstGood);
    EXPECT_NEAR(a.matches.at(0).latitude, 51.340, 0.01);
    a = eu({}, QStringLiteral("Köln"), QStringLiteral("4109"));
    EXPECT_EQ(a.quality, MatchQuality::FirstGood);
    EXPECT_NEAR(a.matches.at(0).latitude, 50.933, 0.01);
}

TEST_F(GeocoderTest, StreetInTwoPostcodesOfOneTown)
{
    const Answer both = eu(QStringLiteral("Hauptstraße"), QStringLiteral("Neustadt"), {});
    EXPECT_EQ(both.quality, MatchQuality::Ambiguous);
    ASSERT_EQ(both.matches.size(), 2u);
    EXPECT_NE(both.matches[0].postal->postcode, both.matches[1].postal->postcode);
    const Answer one = eu(QStringLiteral("Hauptstraße"), QStringLiteral("Neustadt"), QStringLiteral("22222"));
    EXPECT_EQ(one.quality, MatchQuality::FirstGood);
    EXPECT_NEAR(one.matches[0].latitude, 50.03, 0.001);
    EXPECT_EQ(one.matches.back().kind, LocationKind::PostcodeArea);
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
    EXPECT_EQ(eu({}, QStringLiteral("München"), {}).quality, MatchQuality::FirstGood);   // the store is intact
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
