// The map module against the real engine over a small gazetteer made for the test.

#include "GuiTestApplication.h"
#include "KarteUnit.h"
#include "OleClassRegistry.h"
#include "OleContainer.h"

#include "EngineMap.h"
#include "Gazetteer.h"
#include "GazetteerStore.h"
#include "ImportProgress.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace {

class TestKartenModul : public TKartenModul {
public:
    TestKartenModul() = default;
};

constexpr const char *EuropeId = "Orvane.Test.RealEngine.EU";
constexpr const char *NorthAmericaId = "Orvane.Test.RealEngine.NA";

double kilometres(double lat1, double lon1, double lat2, double lon2)
{
    const double d = M_PI / 180.0;
    const double h = std::pow(std::sin((lat2 - lat1) * d / 2), 2)
                     + std::cos(lat1 * d) * std::cos(lat2 * d) * std::pow(std::sin((lon2 - lon1) * d / 2), 2);
    return 2 * 6371.0 * std::asin(std::sqrt(h));
}

class RealEngine : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir = new QTemporaryDir;
        const QString file = dir->filePath("gazetteer.bin");
        {
            Engine::GazetteerStore store(file);
            Engine::SegmentBuilder &source = store.beginSource("test");
            const auto place = [&](const QString &id, const QString &country, const QString &name,
                                   const QString &admin1, double lat, double lon, qint64 population) {
                Engine::PlaceRecord p;
                p.country = country;
                p.name = name;
                p.admin1 = admin1;
                p.latitude = lat;
                p.longitude = lon;
                p.population = population;
                source.putPlace("test", id, p, {});
            };
            place("1", "DE", "München", "02", 48.13743, 11.57549, 1260391);
            place("2", "DE", "Berg", "02", 47.96667, 11.35, 8000);
            place("3", "DE", "Berg", "02", 50.3333, 11.7833, 2500);
            place("4", "US", "New York City", "NY", 40.71427, -74.00597, 8804190);
            Engine::PostcodeRecord zip;
            zip.country = "US";
            zip.code = "10001";
            zip.place = "New York";
            zip.admin1 = "NY";
            zip.latitude = 40.7484;
            zip.longitude = -73.9967;
            source.putPostcode(zip);
            Engine::ImportProgress progress(QStringLiteral("test"), 0, nullptr);
            store.endSource(5, progress);
            store.commit();
        }
        gazetteer = new std::shared_ptr<const Engine::Gazetteer>(Engine::Gazetteer::open({file}));
        OleClassRegistry::instance().registerClass(EuropeId, [] {
            return std::make_shared<EngineMap>(Engine::Edition::Europe, *gazetteer, QString());
        });
        OleClassRegistry::instance().registerClass(NorthAmericaId, [] {
            return std::make_shared<EngineMap>(Engine::Edition::NorthAmerica, *gazetteer, QString());
        });
    }
    static void TearDownTestSuite()
    {
        delete gazetteer;
        delete dir;
    }

    void create(const char *progId)
    {
        module.CreateMap(&container, progId);
        ASSERT_TRUE(module.MapReady());
    }

    static inline QTemporaryDir *dir = nullptr;
    static inline std::shared_ptr<const Engine::Gazetteer> *gazetteer = nullptr;
    OleContainer container;
    TestKartenModul module;
};

} // namespace

TEST_F(RealEngine, CreatesTheMapWithOnlyTheLocationAndScaleToolbar)
{
    create(EuropeId);
    const auto list = module.Map()->ToolbarOwner()->ToolbarList();
    ASSERT_GT(list->ToolbarCount(), 0);
    EXPECT_NE(container.objectView(), nullptr);
}

TEST_F(RealEngine, DerivesCoordinatesFromTheEnginesDistances)
{
    create(EuropeId);
    for (auto [lat, lon] : {std::pair{48.0, 11.0}, std::pair{40.7, -74.0}, std::pair{-33.9, 151.2}}) {
        const auto location = module.Map()->LocationAt(lat, lon, 0.0);
        double longitude = 0.0, latitude = 0.0;
        module.LocationToLatLong(*location, longitude, latitude);
        EXPECT_NEAR(latitude, lat, 1e-6);
        EXPECT_NEAR(longitude, lon, 1e-6);
    }
}

TEST_F(RealEngine, GeocodesTheRecordsAUserExpects)
{
    create(EuropeId);
    RAddressSearchResult r;
    module.GeocodeSilent("D", "", "München", "", "1", r);
    ASSERT_TRUE(r.Found);
    EXPECT_EQ(r.StatusKind, 2);
    EXPECT_FALSE(r.NeedsControl);
    EXPECT_LT(kilometres(r.Latitude, r.Longitude, 48.13743, 11.57549), 2.0);

    module.GeocodeSilent("D", "", "Berg", "", "2", r);
    EXPECT_FALSE(r.Found);

    module.GeocodeSilent("D", "", "", "", "3", r);
    EXPECT_FALSE(r.Found);
}

TEST_F(RealEngine, FindsAZipCodeInTheNorthAmericanEdition)
{
    create(NorthAmericaId);
    RAddressSearchResult r;
    module.GeocodeSilent("USA", "10001", "New York", "", "4", r);
    ASSERT_TRUE(r.Found);
    EXPECT_EQ(r.StatusKind, 1);
    EXPECT_LT(kilometres(r.Latitude, r.Longitude, 40.7484, -73.9967), 2.0);
}

TEST_F(RealEngine, PlacesAndClearsThePinOfTheChosenCandidate)
{
    create(EuropeId);
    ASSERT_TRUE(module.SearchAddress("D", "", "München", "", "pin", true, true));
    EXPECT_NE(module.Map()->PinByName("pin"), nullptr);
    EXPECT_LE(module.Map()->ViewAltitude(), 50.0);
    module.ClearPushPins();
    EXPECT_EQ(module.Map()->PinByName("pin"), nullptr);
}
