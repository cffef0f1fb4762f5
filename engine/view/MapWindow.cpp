#include "MapWindow.h"

#include "Basemap.h"
#include "GreatCircle.h"
#include "LocationAndScaleWidget.h"
#include "MapInputHandler.h"
#include "MapRenderer.h"
#include "MapScene.h"
#include "MapWidget.h"
#include "ToolIcon.h"
#include "ToolbarSet.h"

#include <DataFolder.h>

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QToolBar>

#include <algorithm>
#include <cmath>
#include <numbers>

MapWindow::MapWindow(std::shared_ptr<MapScene> scene, std::shared_ptr<ToolbarSet> toolbars, const MapTexts &texts,
                     std::shared_ptr<const Basemap> coarse, std::shared_ptr<const Basemap> fine,
                     std::shared_ptr<const Engine::Gazetteer> gazetteer, QWidget *parent)
    : QMainWindow(parent), m_scene(std::move(scene)), m_set(std::move(toolbars)), m_texts(texts),
      m_renderer(std::make_shared<MapRenderer>(*m_scene, std::move(coarse), std::move(fine), gazetteer))
{
    // Embedded in a container, not a window of its own.
    setWindowFlags(Qt::Widget);
    m_map = new MapWidget(m_scene, m_renderer, this);
    m_input = new MapInputHandler(*m_map);
    m_input->setClickTool({});
    setCentralWidget(m_map);
    connect(m_map, &MapWidget::painted, this, &MapWindow::mapPainted);

    for (int i = 0; i < m_set->count(); ++i) {
        QToolBar *bar = addEngineToolbar(i);
        switch (i) {
        case ToolbarSet::Standard: buildStandard(bar); break;
        case ToolbarSet::Navigation: buildNavigation(bar); break;
        case ToolbarSet::LocationAndScale:
            m_locationAndScale = new LocationAndScaleWidget(*m_scene, m_renderer->basemap(), gazetteer, m_texts, bar);
            bar->addWidget(m_locationAndScale);
            break;
        case ToolbarSet::Drawing: buildDrawing(bar); break;
        }
    }
    connect(m_set.get(), &ToolbarSet::shownChanged, this, [this](int index, bool shown) {
        m_toolbars.at(size_t(index))->setVisible(shown);
    });
}

MapWindow::~MapWindow() = default;

QWidget *MapWindow::forMap(const MapViewParts &parts, QWidget *parent)
{
    auto *view = new MapWindow(parts.scene, parts.toolbars, parts.texts,
                               Basemap::load(DataFolder::filePath(QStringLiteral("countries-110m.json"))),
                               Basemap::load(DataFolder::filePath(QStringLiteral("countries-50m.json"))),
                               parts.gazetteer, parent);
    connect(view, &MapWindow::startViewRequested, view, parts.showStartView);
    connect(view, &MapWindow::mapPainted, view, parts.painted);
    return view;
}

QToolBar *MapWindow::addEngineToolbar(int index)
{
    auto *bar = addToolBar(m_set->title(index));
    bar->setObjectName(m_set->title(index));
    bar->setIconSize(QSize(22, 22));
    bar->setVisible(m_set->isShown(index));
    // The user hides a toolbar from the context menu; the set learns of it.
    connect(bar->toggleViewAction(), &QAction::triggered, this, [this, index](bool shown) { m_set->setShown(index, shown); });
    m_toolbars.push_back(bar);
    return bar;
}

void MapWindow::buildStandard(QToolBar *bar)
{
    const auto centre = [this] { return QPointF(m_map->width() / 2.0, m_map->height() / 2.0); };
    bar->addAction(glyphIcon(QStringLiteral("+")), m_texts.zoomIn, this, [this, centre] { m_scene->zoomBy(2.0, centre(), m_map->size()); });
    bar->addAction(glyphIcon(QStringLiteral("\u2212")), m_texts.zoomOut, this, [this, centre] { m_scene->zoomBy(0.5, centre(), m_map->size()); });
    bar->addAction(glyphIcon(QStringLiteral("\u2302")), m_texts.startView, this, &MapWindow::startViewRequested);
    bar->addAction(copyIcon(), m_texts.copyMap, this, [this] {
        QImage image(m_map->size(), QImage::Format_RGB32);
        m_renderer->render(image);
        QGuiApplication::clipboard()->setImage(image);
    });
}

void MapWindow::buildNavigation(QToolBar *bar)
{
    const auto pan = [this](double fx, double fy) {
        return [this, fx, fy] { m_scene->panBy({m_map->width() * fx, m_map->height() * fy}, m_map->size()); };
    };
    bar->addAction(glyphIcon(QStringLiteral("\u25b2")), m_texts.panNorth, this, pan(0, 0.25));
    bar->addAction(glyphIcon(QStringLiteral("\u25bc")), m_texts.panSouth, this, pan(0, -0.25));
    bar->addAction(glyphIcon(QStringLiteral("\u25c0")), m_texts.panWest, this, pan(0.25, 0));
    bar->addAction(glyphIcon(QStringLiteral("\u25b6")), m_texts.panEast, this, pan(-0.25, 0));
    bar->addAction(glyphIcon(QStringLiteral("\u25ce")), m_texts.world, this, [this] { m_scene->setView(20.0, 10.0, 30000.0); });
    bar->addAction(pushpinIcon(1), m_texts.showAllPins, this, &MapWindow::showAllPins);
}

void MapWindow::buildDrawing(QToolBar *bar)
{
    QAction *tool = bar->addAction(pushpinIcon(0), m_texts.placePin);
    tool->setCheckable(true);
    connect(tool, &QAction::toggled, this, [this](bool on) {
        if (on)
            m_input->setClickTool([this](QPointF screen) { placeDrawnPin(screen); });
        else
            m_input->setClickTool({});
    });
    bar->addAction(glyphIcon(QStringLiteral("\u2715")), m_texts.removeDrawnPins, this, [this] {
        for (const QString &name : m_drawnPins)
            if (auto pin = m_scene->pinNamed(name))
                m_scene->removePin(pin);
        m_drawnPins.clear();
    });
}

void MapWindow::placeDrawnPin(QPointF screen)
{
    const QPointF latLon = m_scene->viewport(m_map->size()).latLonAt(screen);
    const QString name = m_texts.pinName.arg(++m_drawnCount);
    m_scene->addPin(name, latLon.x(), latLon.y());
    m_drawnPins.push_back(name);
}

void MapWindow::showAllPins()
{
    const auto &pins = m_scene->pins();
    if (pins.empty())
        return;
    QRectF box;
    for (const auto &pin : pins)
        box |= QRectF(MapViewport::toWorld(pin->latitude, pin->longitude), QSizeF(1e-9, 1e-9));
    const double latitude = MapViewport::latitudeOfWorldY(box.center().y());
    const double longitude = box.center().x() * 360.0 - 180.0;
    // Pixels per world unit that fit the box with a margin, turned into the altitude that gives them.
    const double fit = std::min(m_map->width() / (box.width() * 1.4), m_map->height() / (box.height() * 1.4));
    const double groundKmPerUnit = 2.0 * std::numbers::pi * GreatCircle::EarthRadiusKm * std::cos(latitude * std::numbers::pi / 180.0);
    m_scene->setView(latitude, longitude, std::max(groundKmPerUnit / fit * m_map->height(), 2.0));
}
