// The imported streets drawn in tiles: whole across tile borders, and copied, not painted again,
// while the view moves at one scale.

#include "Gazetteer.h"
#include "GazetteerStore.h"
#include "ImportProgress.h"
#include "MapStyle.h"
#include "MapViewport.h"
#include "StreetLayer.h"
#include "ViewTestApp.h"

#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

constexpr double StreetLatitude = 48.137, West = 11.560, East = 11.590;

// One straight street running east far enough to cross several tiles, and one running north,
// each made of many short ways, as streets are mapped.
std::shared_ptr<const Engine::Gazetteer> streets(const QString &file)
{
    Engine::GazetteerStore store(file);
    Engine::SegmentBuilder &source = store.beginSource(QStringLiteral("test"));
    for (double lon = West; lon < East; lon += 0.002)
        source.putStreet(QStringLiteral("DE"), QStringLiteral("Lange Straße"), QStringLiteral("80331"), QStringLiteral("München"),
                         {{StreetLatitude, lon}, {StreetLatitude, lon + 0.001}, {StreetLatitude, lon + 0.002}});
    source.putStreet(QStringLiteral("DE"), QStringLiteral("Querweg"), QStringLiteral("80331"), QStringLiteral("München"),
                     {{48.130, 11.575}, {48.137, 11.575}, {48.144, 11.575}});
    Engine::ImportProgress progress(QStringLiteral("test"), 0, nullptr);
    store.endSource(0, progress);
    store.commit();
    return Engine::Gazetteer::open({file});
}

QImage paint(StreetLayer &layer, double latitude, double longitude, double altitudeKm)
{
    QImage image(1200, 700, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    layer.render(painter, MapViewport(latitude, longitude, altitudeKm, image.size()));
    return image;
}

TEST(StreetLayer, StreetsAreWholeAcrossTileBordersAndTilesAreReusedWhileTheViewMoves)
{
    viewTestApp();
    QTemporaryDir dir;
    StreetLayer layer(streets(dir.filePath(QStringLiteral("streets.bin"))));
    const double altitude = 1.2;
    const QImage image = paint(layer, StreetLatitude, 11.575, altitude);
    const int tiles = layer.tilesPainted();
    ASSERT_GT(tiles, 2);

    // Along the middle of the street running east, every pixel is the street's colour: no gap
    // where one tile meets the next, none where the ways meet.
    const MapViewport view(StreetLatitude, 11.575, altitude, image.size());
    const int row = qRound(view.toScreen(StreetLatitude, West).y());
    int street = 0;
    for (int x = 0; x < image.width(); ++x)
        street += image.pixelColor(x, row) == MapStyle::Street;
    EXPECT_EQ(street, image.width());
    const int column = qRound(view.toScreen(48.137, 11.575).x());
    EXPECT_EQ(image.pixelColor(column, qRound(view.toScreen(48.142, 11.575).y())), MapStyle::Street);

    // Moved east and north by a few pixels: the same picture, shifted; and back again, all from
    // the tiles already painted.
    const QPointF shifted = view.latLonAt(QPointF(image.width() / 2.0 + 40, image.height() / 2.0 - 30));
    const QImage moved = paint(layer, shifted.x(), shifted.y(), altitude);
    EXPECT_EQ(moved.copy(0, 30, 1100, 600), image.copy(40, 0, 1100, 600));
    const int afterMove = layer.tilesPainted();
    EXPECT_EQ(paint(layer, StreetLatitude, 11.575, altitude), image);
    EXPECT_EQ(layer.tilesPainted(), afterMove);

    // At another scale every tile is painted anew; from far away no street is drawn at all.
    paint(layer, StreetLatitude, 11.575, altitude * 1.5);
    EXPECT_GT(layer.tilesPainted(), afterMove);
    const QImage far = paint(layer, StreetLatitude, 11.575, StreetLayer::ShownBelowKm * 2);
    EXPECT_EQ(far.pixelColor(image.width() / 2, image.height() / 2), Qt::black);
}

} // namespace
