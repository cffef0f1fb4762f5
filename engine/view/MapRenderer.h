#pragma once
#include <QImage>
#include <QSize>

#include <memory>
#include <vector>

class MapLayer;
class MapScene;
class Basemap;
class BasemapLayer;
class QPainter;
class QPaintDevice;
class MapViewport;
namespace Engine { class Gazetteer; }

// Paints the scene onto any paint device: basemap, streets, place labels, pushpins. What does not
// change with the pins is kept as an image of the last view, so a repaint of an unchanged view
// (the host's own redraws, pins placed or removed) only copies it and draws the pins. While the
// map is panned or zoomed by the wheel, that image is drawn shifted and scaled with the view
// instead of being painted anew, which keeps dragging and zooming fluid; the view is painted in
// full once panning ends.
class MapRenderer {
public:
    MapRenderer(const MapScene &scene, std::shared_ptr<const Basemap> coarse,
                std::shared_ptr<const Basemap> fine, std::shared_ptr<const Engine::Gazetteer> gazetteer);
    ~MapRenderer();

    void render(QPainter &painter, QSize size);
    void render(QPaintDevice &device);
    void setPanning(bool panning);
    bool isPanning() const { return m_panning; }

    const BasemapLayer &basemap() const { return *m_basemap; }

private:
    struct ViewKey {
        double latitude = 0, longitude = 0, altitude = 0;
        QSize size;
        qreal devicePixelRatio = 0;
        bool operator==(const ViewKey &) const = default;
    };

    void renderView(QPainter &painter, QSize size, bool shiftWhilePanning);
    void renderFrame(QPainter &painter, const MapViewport &viewport, QSize size, qreal ratio);
    bool drawShiftedFrame(QPainter &painter, const MapViewport &viewport, QSize size, qreal ratio) const;

    const MapScene &m_scene;
    BasemapLayer *m_basemap;
    std::vector<std::unique_ptr<MapLayer>> m_background;   // by zValue
    std::unique_ptr<MapLayer> m_pins;
    QImage m_frame;
    ViewKey m_frameKey;
    double m_framePixelsPerWorldUnit = 0;
    bool m_panning = false;
};
