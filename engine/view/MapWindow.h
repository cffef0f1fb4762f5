#pragma once
#include "MapTexts.h"
#include "MapViewParts.h"

#include <QMainWindow>

#include <memory>
#include <vector>

class Basemap;
class LocationAndScaleWidget;
class MapInputHandler;
class MapRenderer;
class MapScene;
class MapWidget;
class QToolBar;
class ToolbarSet;
namespace Engine { class Gazetteer; }

// The engine's on-screen view: the map with the engine's own toolbars around it. The toolbars
// follow the toolbar set, so the automation interface shows and hides them.
class MapWindow : public QMainWindow {
    Q_OBJECT
public:
    MapWindow(std::shared_ptr<MapScene> scene, std::shared_ptr<ToolbarSet> toolbars, const MapTexts &texts,
              std::shared_ptr<const Basemap> coarse, std::shared_ptr<const Basemap> fine,
              std::shared_ptr<const Engine::Gazetteer> gazetteer, QWidget *parent = nullptr);
    ~MapWindow() override;
    // The view of a map object in its container, over the basemaps installed with the program.
    static QWidget *forMap(const MapViewParts &parts, QWidget *parent);

    MapWidget *mapWidget() const { return m_map; }
    QToolBar *toolbar(int index) const { return m_toolbars.at(size_t(index)); }
    LocationAndScaleWidget *locationAndScale() const { return m_locationAndScale; }

signals:
    void startViewRequested();
    void mapPainted();

private:
    QToolBar *addEngineToolbar(int index);
    void buildStandard(QToolBar *bar);
    void buildNavigation(QToolBar *bar);
    void buildDrawing(QToolBar *bar);
    void showAllPins();
    void placeDrawnPin(QPointF screen);

    std::shared_ptr<MapScene> m_scene;
    std::shared_ptr<ToolbarSet> m_set;
    MapTexts m_texts;
    std::shared_ptr<MapRenderer> m_renderer;
    MapWidget *m_map;
    MapInputHandler *m_input;
    LocationAndScaleWidget *m_locationAndScale = nullptr;
    std::vector<QToolBar *> m_toolbars;
    int m_drawnCount = 0;
    std::vector<QString> m_drawnPins;
};
