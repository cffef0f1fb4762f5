#pragma once
#include "MapLayer.h"

#include <QPolygonF>

#include <memory>

class Basemap;

// Sea, countries, coastlines and borders. The coarse shapes serve the world view, the fine ones
// every closer view.
class BasemapLayer : public MapLayer {
public:
    BasemapLayer(std::shared_ptr<const Basemap> coarse, std::shared_ptr<const Basemap> fine);
    int zValue() const override { return 0; }
    void render(QPainter &painter, const MapViewport &viewport) override;

    const Basemap &basemapFor(const MapViewport &viewport) const;

private:
    std::shared_ptr<const Basemap> m_coarse, m_fine;
    QPolygonF m_buffer, m_run;
};
