#include "Basemap.h"
#include "EngineMap.h"
#include "LocationAndScaleWidget.h"
#include "MapInputHandler.h"
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

#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QWheelEvent>
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

// A renderer over the basemaps alone, and what it and a fresh one paint of a 400x300 view.
class MapRendererPanning : public ::testing::Test {
protected:
    void SetUp() override { viewTestApp(); }
    std::shared_ptr<MapRenderer> renderer(const MapScene &scene) const { return std::make_shared<MapRenderer>(scene, coarse, fine, nullptr); }
    QImage rendered(MapRenderer &r) const
    {
        QImage image(size, QImage::Format_RGB32);
        QPainter painter(&image);
        r.render(painter, size);
        return image;
    }
    QImage paintedAnew(const MapScene &scene) const { return rendered(*renderer(scene)); }

    const std::shared_ptr<const Basemap> coarse = Basemap::load(DataFolder::filePath(QStringLiteral("countries-110m.json")));
    const std::shared_ptr<const Basemap> fine = Basemap::load(DataFolder::filePath(QStringLiteral("countries-50m.json")));
    const QSize size{400, 300};
};

TEST_F(MapRendererPanning, MovesTheLastPictureWithTheDragAndPaintsInFullAfterwards)
{
    MapScene scene;
    scene.setView(51.0, 10.3, 900.0);
    MapRenderer renderer(scene, coarse, fine, nullptr);
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

    scene.panBy(QPointF(-30, 0), size);
    renderer.setPanning(false);
    EXPECT_EQ(rendered(renderer), paintedAnew(scene));
}

// A zoom while the wheel turns shows the last picture scaled about the point under the cursor:
// what lay at a point then is shown where that point lies now, to within a pixel of the old
// picture. The coasts and borders of Europe leave few stretches of one colour to hide an error.
TEST_F(MapRendererPanning, ZoomsShowTheLastPictureScaledAboutTheCursor)
{
    MapScene scene;
    scene.setView(53.5, 12.0, 4600.0);
    MapRenderer renderer(scene, coarse, fine, nullptr);
    const QImage before = rendered(renderer);
    const MapViewport first = scene.viewport(size);

    renderer.setPanning(true);
    scene.zoomBy(1.25, QPointF(130, 100), size);
    const QImage zoomed = rendered(renderer);
    int points = 0, fromOldPicture = 0;
    for (int x = 2; x < size.width() - 2; x += 5)
        for (int y = 2; y < size.height() - 2; y += 5, ++points) {
            const QPoint was = first.worldToScreen(scene.viewport(size).screenToWorld(QPoint(x, y))).toPoint();
            bool found = false;
            for (int dx = -1; dx <= 1 && !found; ++dx)
                for (int dy = -1; dy <= 1 && !found; ++dy)
                    found = zoomed.pixel(x, y) == before.pixel(was + QPoint(dx, dy));
            fromOldPicture += found;
        }
    EXPECT_EQ(fromOldPicture, points);
    EXPECT_NE(zoomed, paintedAnew(scene));

    // Zoomed out so far that the old picture would leave much of the view empty: painted anew.
    scene.zoomBy(0.5, QPointF(130, 100), size);
    EXPECT_EQ(rendered(renderer), paintedAnew(scene));
}

// Each step of the wheel shows the last picture scaled; once the wheel rests, the map is painted
// in full.
TEST_F(MapRendererPanning, WheelStepsShowThePictureScaledUntilTheWheelRests)
{
    auto scene = std::make_shared<MapScene>();
    scene->setView(48.137, 11.575, 20.0);
    const auto renderer = this->renderer(*scene);
    MapWidget widget(scene, renderer);
    new MapInputHandler(widget);   // the widget's child
    widget.resize(size);
    widget.show();
    QApplication::processEvents();
    const double altitude = scene->altitudeKm();
    QWheelEvent wheel(QPointF(200, 150), widget.mapToGlobal(QPointF(200, 150)), {}, QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(&widget, &wheel);
    EXPECT_LT(scene->altitudeKm(), altitude);
    EXPECT_TRUE(renderer->isPanning());
    QElapsedTimer waited;
    waited.start();
    while (renderer->isPanning() && waited.elapsed() < 5000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    EXPECT_FALSE(renderer->isPanning());
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
