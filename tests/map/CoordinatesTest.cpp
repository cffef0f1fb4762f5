#include "MapModuleFixture.h"

#include <cmath>

namespace {

struct Point {
    double latitude, longitude;
};

class Derivation : public MapModuleTest, public ::testing::WithParamInterface<Point> {};

} // namespace

TEST_P(Derivation, GivesBackTheCoordinatesInKilometresAndMiles)
{
    createMap();
    const Point p = GetParam();
    for (double radius : {ScriptedEngine::EarthRadiusKm, ScriptedEngine::EarthRadiusMiles}) {
        engine->setRadius(radius);
        const auto location = engine->LocationAt(p.latitude, p.longitude, 0.0);
        double longitude = 99.0, latitude = 99.0;
        module.LocationToLatLong(*location, longitude, latitude);
        EXPECT_NEAR(latitude, p.latitude, 1e-9) << radius;
        // At the poles every longitude is the same place; it comes out as 0.
        const double expected = std::abs(p.latitude) == 90.0 ? 0.0 : p.longitude;
        // The arc cosine is ill-conditioned next to -1: about a metre of slack on meridian 180.
        if (std::abs(expected) == 180.0)
            EXPECT_NEAR(std::abs(longitude), 180.0, 2e-5) << radius;
        else
            EXPECT_NEAR(longitude, expected, 1e-6) << radius;
        EXPECT_FALSE(std::isnan(longitude));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Points, Derivation,
    ::testing::Values(Point{48.0, 11.0}, Point{40.7, -74.0}, Point{-33.9, 151.2},
                      Point{51.5, 0.0}, Point{-12.0, 0.0}, Point{35.0, 180.0},
                      Point{-60.0, -180.0}, Point{0.0, 0.0}, Point{0.0, 179.999},
                      Point{89.9, -45.0}, Point{90.0, 0.0}, Point{90.0, 37.0},
                      Point{-90.0, 0.0}, Point{-90.0, -120.0}));

TEST_F(MapModuleTest, DerivationMakesItsReferenceLocationsAnewEveryTime)
{
    createMap();
    const auto p = engine->LocationAt(48.0, 11.0, 0.0);
    engine->clearCalls();
    double longitude = 0.0, latitude = 0.0;
    module.LocationToLatLong(*p, longitude, latitude);
    module.LocationToLatLong(*p, longitude, latitude);

    QStringList once{"LocationAt(90,0,200)",       "LocationAt(0,-90,200)",
                     "LocationAt(-90,0,200)",      "DistanceBetween(@90,0,@-90,0)",
                     "DistanceBetween(@90,0,@48,11)"};
    const QStringList calls = engine->calls();
    ASSERT_EQ(calls.size(), 16);
    EXPECT_EQ(calls.mid(0, 5), once);
    EXPECT_TRUE(calls[5].startsWith("LocationAt(48")) << calls[5].toStdString();
    EXPECT_TRUE(calls[6].startsWith("DistanceBetween(@48")) << calls[6].toStdString();
    EXPECT_EQ(calls[7], "DistanceBetween(@0,-90,@48,11)");
    EXPECT_EQ(calls.mid(8, 5), once);
}

TEST_F(MapModuleTest, ShowCoordinateIgnoresARecordWithoutCoordinates)
{
    createMap();
    module.ShowCoordinate("7", true, 0.0, 0.0, 50.0);
    module.ShowCoordinate("7", false, 0.0, 0.0, 50.0);
    EXPECT_TRUE(engine->calls().isEmpty());

    // One coordinate 0 alone is a real place.
    module.ShowCoordinate("7", false, 0.0, 51.5, 80.0);
    EXPECT_EQ(engine->calls(), (QStringList{"LocationAt(51.5,0,80)", "MoveViewTo(@51.5,0)"}));
}

TEST_F(MapModuleTest, ShowCoordinateWithPinReplacesThePinsAndMovesThere)
{
    createMap();
    module.PlacePinAtCoordinate(0, 12.0, 49.0, "old", false);
    engine->setAltitude(120.0);
    engine->clearCalls();

    module.ShowCoordinate("7", true, 11.0, 48.0, 999.0);

    EXPECT_EQ(engine->pinsOnMap(), QStringList{"7"});
    EXPECT_EQ(engine->pins().back()->symbol, 0);
    EXPECT_EQ(engine->viewCentre(), "@48,11");
    EXPECT_EQ(engine->ViewAltitude(), 50.0);
    EXPECT_TRUE(engine->calls("LocationAt").contains("LocationAt(48,11,0)"));
    ASSERT_EQ(module.PushPins().Count(), 1);
    const auto pin = std::dynamic_pointer_cast<IPushPinObject>(module.PushPins().Items(0));
    EXPECT_EQ(pin->GetName(), "7");
    EXPECT_EQ(pin->GetLongitude(), 11.0);
    EXPECT_EQ(pin->GetLatitude(), 48.0);
}

TEST_F(MapModuleTest, MovingTheViewCapsTheAltitudeAtFifty)
{
    createMap();
    const auto l = engine->LocationAt(48.0, 11.0, 0.0);
    for (auto [before, after] : {std::pair{120.0, 50.0}, std::pair{30.0, 30.0}, std::pair{50.0, 50.0}}) {
        engine->setAltitude(before);
        engine->clearCalls();
        module.PlacePinAtLocation(*l, 1, 0.0, 0.0, "p", true);
        EXPECT_EQ(engine->ViewAltitude(), after) << before;
        EXPECT_EQ(engine->calls("SetViewAltitude").size(), before > 50.0 ? 1 : 0) << before;
    }

    // Without moving the view the altitude is not touched.
    engine->setAltitude(120.0);
    module.PlacePinAtLocation(*l, 1, 0.0, 0.0, "q", false);
    EXPECT_EQ(engine->ViewAltitude(), 120.0);
}

class FailingPinStep : public MapModuleTest, public ::testing::WithParamInterface<const char *> {};

TEST_P(FailingPinStep, LeavesTheEnginePinUnlisted)
{
    createMap();
    const auto l = engine->LocationAt(48.0, 11.0, 0.0);
    engine->setAltitude(120.0);
    engine->failOn(GetParam(), 1);
    EXPECT_THROW(module.PlacePinAtLocation(*l, 1, 0.0, 0.0, "p", true), MapPoint::EngineError);
    EXPECT_EQ(engine->pinsOnMap(), QStringList{"p"});
    EXPECT_EQ(module.PushPins().Count(), 0);
}

INSTANTIATE_TEST_SUITE_P(Steps, FailingPinStep,
                         ::testing::Values("SetPinSymbol", "MoveViewTo", "ViewAltitude",
                                           "SetViewAltitude"));
