#include "Basemap.h"
#include "EngineMap.h"
#include "LocationAndScaleWidget.h"
#include "MapRenderer.h"
#include "MapScene.h"
#include "MapStyle.h"
#include "MapViewport.h"
#include "MapWidget.h"
#include "MapWindow.h"
#include "OleContainer.h"
#include "OleClassRegistry.h"
#include "PushpinLayer.h"
#include "ViewTestApp.h"

#include <DataFolder.h>

#include <QImage>
#include <QPainter>
#include <QToolBar>

#include <gtest/gtest.h>

namespace {

class CountingSink : public MapPoint::MapEvents {
public:
    void OnAfterRedraw() override { ++redraws; }
    int redraws = 0;
};

std::shared_ptr<EngineMap> shownMap(OleContainer &container, QLocale::Language language = QLocale::English)
{
    OleClassRegistry::instance().registerClass("Test.Map.9", [language] {
        return std::make_shared<EngineMap>(Engine::Edition::Europe, nullptr, QString(), language, &MapWindow::forMap);
    });
    container.CreateObject("Test.Map.9", false);
    container.resize(900, 650);
    container.show();
    container.DoVerb(OleContainer::ShowVerb);
    QApplication::processEvents();
    return std::dynamic_pointer_cast<EngineMap>(container.OleObjectInterface());
}

MapWindow *windowOf(OleContainer &container)
{
    return qobject_cast<MapWindow *>(container.objectView());
}

TEST(MapView, AfterRedrawFiresOncePerPaintToEverySubscribedSink)
{
    viewTestApp();
    OleContainer container;
    auto map = shownMap(container);
    CountingSink a, b;
    map->Advise(&a);
    map->Advise(&a);
    map->Advise(&b);
    MapWidget *widget = windowOf(container)->mapWidget();
    widget->repaint();
    widget->repaint();
    EXPECT_EQ(a.redraws, 2);
    EXPECT_EQ(b.redraws, 2);
    map->Unadvise(&b);
    widget->repaint();
    EXPECT_EQ(a.redraws, 3);
    EXPECT_EQ(b.redraws, 2);
    map->Unadvise(&a);
}

TEST(MapView, ToolbarsFollowTheAutomationInterface)
{
    viewTestApp();
    OleContainer container;
    auto map = shownMap(container, QLocale::German);
    MapWindow *window = windowOf(container);
    const auto list = map->ToolbarOwner()->ToolbarList();
    for (int i = 1; i <= list->ToolbarCount(); ++i)
        list->ToolbarAt(i)->SetToolbarShown(list->ToolbarAt(i)->ToolbarTitle() == QStringLiteral("Ort und Maßstab"));
    QApplication::processEvents();
    for (int i = 0; i < list->ToolbarCount(); ++i)
        EXPECT_EQ(window->toolbar(i)->isVisible(), window->toolbar(i)->windowTitle() == QStringLiteral("Ort und Maßstab")) << i;
}

TEST(MapView, LocationAndScaleNamesTheCountryAtTheCentreAndARoundScale)
{
    viewTestApp();
    OleContainer container;
    auto map = shownMap(container);
    map->LocationAt(51.0, 10.3, 900.0)->MoveViewTo();
    LocationAndScaleWidget *bar = windowOf(container)->locationAndScale();
    EXPECT_EQ(bar->placeText(), QStringLiteral("Germany"));
    EXPECT_TRUE(bar->scaleText().endsWith(" km"));
    map->LocationAt(45.0, -30.0, 900.0)->MoveViewTo();
    EXPECT_EQ(bar->placeText(), QStringLiteral("Open water"));

    EXPECT_DOUBLE_EQ(LocationAndScaleWidget::roundScaleLength(137.0), 100.0);
    EXPECT_DOUBLE_EQ(LocationAndScaleWidget::roundScaleLength(0.31), 0.2);
    EXPECT_DOUBLE_EQ(LocationAndScaleWidget::roundScaleLength(5.0), 5.0);
}

TEST(MapView, PushpinSymbolsZeroAndOneLookDifferent)
{
    viewTestApp();
    const auto dominant = [](qint16 symbol) {
        QImage image(40, 40, QImage::Format_ARGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        PushpinLayer::drawPin(painter, QPointF(15, 35), symbol);
        painter.end();
        long red = 0, blue = 0;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x) {
                const QColor c = image.pixelColor(x, y);
                red += c.red() - c.blue() > 80;
                blue += c.blue() - c.red() > 80;
            }
        return std::pair{red, blue};
    };
    const auto [red0, blue0] = dominant(0);
    const auto [red1, blue1] = dominant(1);
    EXPECT_GT(red0, 30);
    EXPECT_EQ(blue0, 0);
    EXPECT_GT(blue1, 30);
    EXPECT_EQ(red1, 0);
}

TEST(MapView, RendersSeaAndLandWhereTheyAre)
{
    viewTestApp();
    OleContainer container;
    auto map = shownMap(container);
    map->LocationAt(50.0, 5.0, 2000.0)->MoveViewTo();
    MapWidget *widget = windowOf(container)->mapWidget();
    const QImage image = widget->grab().toImage();
    const MapViewport viewport = map->scene().viewport(widget->size());
    const QColor sea = image.pixelColor(viewport.toScreen(46.0, -8.0).toPoint());      // Bay of Biscay
    const QColor land = image.pixelColor(viewport.toScreen(47.0, 2.5).toPoint());      // central France
    EXPECT_GT(sea.blue(), sea.red() + 40);
    EXPECT_GT(land.red(), land.blue());
}

TEST(MapRendererPanning, MovesTheLastPictureWithTheDragAndPaintsInFullAfterwards)
{
    viewTestApp();
    const auto coarse = Basemap::load(DataFolder::filePath(QStringLiteral("countries-110m.json")));
    const auto fine = Basemap::load(DataFolder::filePath(QStringLiteral("countries-50m.json")));
    MapScene scene;
    scene.setView(51.0, 10.3, 900.0);
    MapRenderer renderer(scene, coarse, fine, nullptr);
    const QSize size(400, 300);
    QImage before(size, QImage::Format_RGB32), during(size, QImage::Format_RGB32);
    renderer.render(before);

    renderer.setPanning(true);
    scene.panBy(QPointF(40, -20), size);
    {
        QPainter painter(&during);
        renderer.render(painter, size);
    }
    // The old picture sits 40 right and 20 up; the uncovered strips are sea.
    for (const QPoint at : {QPoint(100, 150), QPoint(200, 100), QPoint(300, 200)})
        EXPECT_EQ(during.pixel(at + QPoint(40, -20)), before.pixel(at)) << at.x() << "," << at.y();
    EXPECT_EQ(QColor(during.pixel(10, 150)), MapStyle::Sea);
    EXPECT_EQ(QColor(during.pixel(200, 295)), MapStyle::Sea);

    // A zoom cannot be shown by moving the picture.
    scene.zoomBy(2.0, QPointF(200, 150), size);
    QImage zoomed(size, QImage::Format_RGB32), zoomedFresh(size, QImage::Format_RGB32);
    {
        QPainter painter(&zoomed);
        renderer.render(painter, size);
    }
    MapRenderer fresh(scene, coarse, fine, nullptr);
    fresh.render(zoomedFresh);
    EXPECT_EQ(zoomed, zoomedFresh);

    scene.panBy(QPointF(-30, 0), size);
    renderer.setPanning(false);
    QImage after(size, QImage::Format_RGB32), afterFresh(size, QImage::Format_RGB32);
    {
        QPainter painter(&after);
        renderer.render(painter, size);
    }
    MapRenderer(scene, coarse, fine, nullptr).render(afterFresh);
    EXPECT_EQ(after, afterFresh);
}

TEST(MapBasemap, CountriesAtPointsAndNeighboursColouredApart)
{
    viewTestApp();
    const auto map = Basemap::load(DataFolder::filePath(QStringLiteral("countries-50m.json")));
    EXPECT_EQ(map->countryAt(52.52, 13.40), QStringLiteral("Germany"));
    EXPECT_EQ(map->countryAt(48.86, 2.35), QStringLiteral("France"));
    EXPECT_EQ(map->countryAt(65.0, 170.0), QStringLiteral("Russia"));   // beyond the antimeridian cut
    EXPECT_EQ(map->countryAt(65.0, -175.0), QStringLiteral("Russia"));
    EXPECT_EQ(map->countryAt(45.0, -30.0), QString());
    const auto colourOf = [&](const QString &name) {
        for (const auto &c : map->countries())
            if (c.name == name)
                return c.colourIndex;
        return -1;
    };
    for (auto [a, b] : {std::pair{"Germany", "France"}, {"Germany", "Poland"}, {"Germany", "Austria"}, {"Spain", "Portugal"}})
        EXPECT_NE(colourOf(a), colourOf(b)) << a << " " << b;
    EXPECT_THROW(Basemap::load(QStringLiteral("/nonexistent/countries.json")), std::runtime_error);
}

TEST(MapViewportMaths, ProjectionRoundTripAndZoomKeepsThePointUnderTheCursor)
{
    const MapViewport v(48.0, 11.0, 50.0, QSize(800, 600));
    EXPECT_NEAR(v.kmPerPixel(), 50.0 / 600, 1e-12);
    for (auto [lat, lon] : {std::pair{48.1, 11.2}, {47.9, 10.7}}) {
        const QPointF back = v.latLonAt(v.toScreen(lat, lon));
        EXPECT_NEAR(back.x(), lat, 1e-9);
        EXPECT_NEAR(back.y(), lon, 1e-9);
    }
    EXPECT_NEAR(v.toScreen(48.0, 11.0).x(), 400.0, 1e-9);

    MapScene scene;
    scene.setView(48.0, 11.0, 50.0);
    const QSize size(800, 600);
    const QPointF cursor(650, 120);
    const QPointF under = scene.viewport(size).latLonAt(cursor);
    scene.zoomBy(2.0, cursor, size);
    const QPointF after = scene.viewport(size).latLonAt(cursor);
    EXPECT_NEAR(after.x(), under.x(), 1e-6);
    EXPECT_NEAR(after.y(), under.y(), 1e-6);

    // Dragging moves the content with the mouse.
    const QPointF grabbed = scene.viewport(size).latLonAt(QPointF(300, 300));
    scene.panBy(QPointF(100, -50), size);
    const QPointF moved = scene.viewport(size).latLonAt(QPointF(400, 250));
    EXPECT_NEAR(moved.x(), grabbed.x(), 1e-6);
    EXPECT_NEAR(moved.y(), grabbed.y(), 1e-6);
}

} // namespace
