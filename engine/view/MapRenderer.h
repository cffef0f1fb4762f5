#pragma once
#include <QSize>

#include <memory>
#include <vector>

class MapLayer;
class MapScene;
class Basemap;
class BasemapLayer;
class QPainter;
class QPaintDevice;
namespace Engine { class Gazetteer; }

// Paints the scene onto any paint device: basemap, streets, place labels, pushpins.
class MapRenderer {
public:
    MapRenderer(const MapScene &scene, std::shared_ptr<const Basemap> coarse,
                std::shared_ptr<const Basemap> fine, std::shared_ptr<const Engine::Gazetteer> gazetteer);
    ~MapRenderer();

    void render(QPainter &painter, QSize size);
    void render(QPaintDevice &device);

    const BasemapLayer &basemap() const { return *m_basemap; }

private:
    const MapScene &m_scene;
    BasemapLayer *m_basemap;
    std::vector<std::unique_ptr<MapLayer>> m_layers;   // by zValue
};
