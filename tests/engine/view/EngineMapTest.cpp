#include "EngineFindResults.h"
#include "EngineMap.h"
#include "GreatCircle.h"
#include "MapScene.h"
#include "MapEngineClasses.h"
#include "OleClassRegistry.h"
#include "OleError.h"
#include "ViewTestApp.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

std::shared_ptr<EngineMap> europeMap(QLocale::Language language = QLocale::English)
{
    viewTestApp();
    return std::make_shared<EngineMap>(Engine::Edition::Europe, nullptr, QStringLiteral("no gazetteer in this test"), language);
}

TEST(EngineMapDistance, GreatCircleOnTheSphereIncludingPolesAndAntipodes)
{
    auto map = europeMap();
    const double half = std::numbers::pi * GreatCircle::EarthRadiusKm;
    const auto north = map->LocationAt(90, 0, 200), south = map->LocationAt(-90, 0, 200);
    EXPECT_NEAR(map->DistanceBetween(*north, *south), half, 1e-6);
    // At a pole every longitude is the same point.
    EXPECT_NEAR(map->DistanceBetween(*north, *map->LocationAt(90, 123, 0)), 0.0, 1e-9);
    EXPECT_NEAR(map->DistanceBetween(*map->LocationAt(0, 0, 0), *map->LocationAt(0, 180, 0)), half, 1e-6);
    EXPECT_NEAR(map->DistanceBetween(*north, *map->LocationAt(0, -90, 0)), half / 2, 1e-6);
    // Munich - Berlin, about 504 km.
    EXPECT_NEAR(map->DistanceBetween(*map->LocationAt(48.1372, 11.5755, 0), *map->LocationAt(52.52, 13.405, 0)), 504.0, 2.0);
    EXPECT_DOUBLE_EQ(map->DistanceBetween(*map->LocationAt(40.7, -74, 0), *map->LocationAt(-33.9, 151.2, 0)),
                     map->DistanceBetween(*map->LocationAt(-33.9, 151.2, 0), *map->LocationAt(40.7, -74, 0)));
}

// The map module derives coordinates from distances to the poles and meridian 0; the engine's
// distances must carry them back exactly.
TEST(EngineMapDistance, DistancesToReferencePointsGiveTheCoordinatesBack)
{
    auto map = europeMap();
    const auto n = map->LocationAt(90, 0, 200), s = map->LocationAt(-90, 0, 200);
    const double h = map->DistanceBetween(*n, *s);
    for (auto [lat, lon] : {std::pair{48.0, 11.0}, {-33.9, 151.2}, {40.7, 74.0}}) {
        const auto p = map->LocationAt(lat, lon, 0);
        const double latitude = 90.0 - map->DistanceBetween(*n, *p) * 180.0 / h;
        EXPECT_NEAR(latitude, lat, 1e-9);
        const double dm = map->DistanceBetween(*map->LocationAt(latitude, 0, 200), *p);
        const double phi = latitude * std::numbers::pi / 180;
        const double r = (std::cos(dm * std::numbers::pi / h) - std::sin(phi) * std::sin(phi)) / (std::cos(phi) * std::cos(phi));
        EXPECT_NEAR(std::acos(std::clamp(r, -1.0, 1.0)) * 180 / std::numbers::pi, lon, 1e-6);
    }
}

TEST(EngineMapLocation, RejectsImpossibleCoordinatesAndForeignLocations)
{
    auto map = europeMap();
    EXPECT_THROW(map->LocationAt(90.5, 0, 0), MapPoint::EngineError);
    EXPECT_THROW(map->LocationAt(NAN, 0, 0), MapPoint::EngineError);
    EXPECT_THROW(map->LocationAt(0, INFINITY, 0), MapPoint::EngineError);
    EXPECT_THROW(map->LocationAt(0, 0, -1), MapPoint::EngineError);
    EXPECT_NO_THROW(map->LocationAt(-90, 540, 0));

    class Foreign : public MapPoint::Location {
        std::shared_ptr<MapPoint::PostalAddress> PostalAddress() const override { return nullptr; }
        QString DisplayName() const override { return {}; }
        int LocationKind() const override { return 0; }
        void MoveViewTo() override {}
    } foreign;
    EXPECT_THROW(map->DistanceBetween(foreign, *map->LocationAt(0, 0, 0)), MapPoint::EngineError);
    EXPECT_THROW(map->PlacePushpin(foreign, "x"), MapPoint::EngineError);
}

TEST(EngineMapView, AltitudeReadWriteAndMoveView)
{
    auto map = europeMap();
    map->SetViewAltitude(50.0);
    EXPECT_DOUBLE_EQ(map->ViewAltitude(), 50.0);
    map->SetViewAltitude(120.0);
    EXPECT_DOUBLE_EQ(map->ViewAltitude(), 120.0);
    EXPECT_THROW(map->SetViewAltitude(0.0), MapPoint::EngineError);
    EXPECT_THROW(map->SetViewAltitude(NAN), MapPoint::EngineError);
    EXPECT_DOUBLE_EQ(map->ViewAltitude(), 120.0);

    // A ground point keeps the altitude, a point with a height applies it.
    map->LocationAt(48.0, 11.0, 0)->MoveViewTo();
    EXPECT_DOUBLE_EQ(map->ViewAltitude(), 120.0);
    EXPECT_DOUBLE_EQ(map->scene().centreLatitude(), 48.0);
    EXPECT_DOUBLE_EQ(map->scene().centreLongitude(), 11.0);
    map->LocationAt(51.5, 0.0, 50.0)->MoveViewTo();
    EXPECT_DOUBLE_EQ(map->ViewAltitude(), 50.0);
    // The poles are shown as far north as the projection reaches.
    EXPECT_NO_THROW(map->LocationAt(90, 0, 200)->MoveViewTo());
    EXPECT_LT(map->scene().centreLatitude(), 90.0);
}

TEST(EngineMapView, StartSettingsShowTheEditionsArea)
{
    auto map = europeMap();
    const QSize size(900, 650);
    const QRectF screen(0, 0, size.width(), size.height());
    const auto shows = [&](double lat, double lon) { return screen.contains(map->scene().viewport(size).toScreen(lat, lon)); };
    map->ApplyStartSetting(4);
    for (auto [lat, lon] : {std::pair{38.72, -9.14}, {60.17, 24.94}, {37.98, 23.73}, {64.15, -21.94}, {52.52, 13.40}})
        EXPECT_TRUE(shows(lat, lon)) << lat << " " << lon;
    EXPECT_FALSE(shows(40.7, -74.0));

    auto na = std::make_shared<EngineMap>(Engine::Edition::NorthAmerica, nullptr, QString(), QLocale::English);
    na->ApplyStartSetting(4);
    for (auto [lat, lon] : {std::pair{40.7, -74.0}, {34.05, -118.24}, {43.65, -79.38}, {49.28, -123.12}, {25.76, -80.19}})
        EXPECT_TRUE(screen.contains(na->scene().viewport(size).toScreen(lat, lon))) << lat << " " << lon;

    EXPECT_THROW(map->ApplyStartSetting(7), MapPoint::EngineError);
}

TEST(EngineMapPins, ByNameWithDuplicatesDeletionAndMissingNames)
{
    auto map = europeMap();
    EXPECT_EQ(map->PinByName("Berlin"), nullptr);
    auto first = map->PlacePushpin(*map->LocationAt(52.5, 13.4, 0), "Berlin");
    map->PlacePushpin(*map->LocationAt(48.1, 11.6, 0), "Munich");
    auto second = map->PlacePushpin(*map->LocationAt(52.4, 13.1, 0), "Berlin");
    second->SetPinSymbol(1);
    ASSERT_EQ(map->scene().pins().size(), 3u);

    // The first placed pin of a name is the one found.
    auto found = map->PinByName("Berlin");
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(map->scene().pinNamed("Berlin")->symbol, 0);
    EXPECT_EQ(map->PinByName("berlin"), nullptr);

    found->DeletePin();
    EXPECT_EQ(map->scene().pins().size(), 2u);
    EXPECT_EQ(map->scene().pinNamed("Berlin")->symbol, 1);
    EXPECT_THROW(first->SetPinSymbol(1), MapPoint::EngineError);
    EXPECT_THROW(first->DeletePin(), MapPoint::EngineError);

    map->PinByName("Berlin")->DeletePin();
    EXPECT_EQ(map->PinByName("Berlin"), nullptr);
    EXPECT_EQ(map->PinByName("Munich")->Name(), QStringLiteral("Munich"));
    EXPECT_THROW(map->PinByName("Munich")->SetPinSymbol(2), MapPoint::EngineError);
}

TEST(EngineMapToolbars, FourToolbarsTitledInTheSystemLanguage)
{
    for (auto [language, title, drawing] : {std::tuple{QLocale::English, "Location and Scale", "Drawing"},
                                           {QLocale::German, "Ort und Maßstab", "Zeichnen"},
                                           {QLocale::French, "Location and Scale", "Drawing"}}) {
        auto map = europeMap(language);
        const auto list = map->ToolbarOwner()->ToolbarList();
        ASSERT_EQ(list->ToolbarCount(), 4);
        QStringList titles;
        for (int i = 1; i <= 4; ++i)
            titles << list->ToolbarAt(i)->ToolbarTitle();
        EXPECT_EQ(titles.count(QString::fromUtf8(title)), 1) << titles.join(", ").toStdString();
        EXPECT_TRUE(titles.contains(QString::fromUtf8(drawing)));
        EXPECT_THROW(list->ToolbarAt(0), MapPoint::EngineError);
        EXPECT_THROW(list->ToolbarAt(5), MapPoint::EngineError);
    }
}

TEST(EngineMapLookup, WithoutReferenceDataRaisesTheReasonAndBadArgumentsRaise)
{
    auto map = europeMap();
    try {
        map->LookupAddress("Marienplatz", "München", "", "", "80331", QVariant(94));
        FAIL() << "lookup without a gazetteer succeeded";
    } catch (const MapPoint::EngineError &e) {
        EXPECT_NE(QString::fromUtf8(e.what()).indexOf("no gazetteer in this test"), -1);
    }
    EXPECT_THROW(map->LookupAddress("", "Paris", "", "", "", QVariant("France")), MapPoint::EngineError);

    EngineFindResults none(3, {});
    EXPECT_EQ(none.ResultCount(), 0);
    EXPECT_THROW(none.ResultItem(1), MapPoint::EngineError);
    EXPECT_THROW(none.ResultItem(QVariant("first")), MapPoint::EngineError);
}

TEST(EngineMapClasses, BothEditionsRegisteredAsMapObjects)
{
    viewTestApp();
    RegisterMapEngineClasses({QStringLiteral(ORVANE_BINARY_DIR "/no-such-gazetteer.bin"), QString()}, MapViewMaker());
    auto eu = std::dynamic_pointer_cast<EngineMap>(OleClassRegistry::instance().create("MapPoint.Map.EU.9"));
    auto na = std::dynamic_pointer_cast<EngineMap>(OleClassRegistry::instance().create("MapPoint.Map.NA.9"));
    ASSERT_NE(eu, nullptr);
    ASSERT_NE(na, nullptr);
    EXPECT_EQ(eu->edition(), Engine::Edition::Europe);
    EXPECT_EQ(na->edition(), Engine::Edition::NorthAmerica);
    EXPECT_NE(std::dynamic_pointer_cast<MapPoint::Map>(std::shared_ptr<OleObject>(eu)), nullptr);
    // Without the gazetteer the map still works; the lookup says what is missing.
    EXPECT_THROW(eu->LookupAddress("", "Berlin", "", "", "", QVariant(94)), MapPoint::EngineError);
    EXPECT_THROW(OleClassRegistry::instance().create("MapPoint.Map.DE.9"), OleError);
}

} // namespace
