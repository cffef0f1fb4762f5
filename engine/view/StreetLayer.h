#pragma once
#include "MapLayer.h"

#include <QFont>
#include <QImage>

#include <map>
#include <memory>
#include <utility>

namespace Engine { class Gazetteer; }

// The imported streets, drawn once the view is close enough to tell them apart. Stroking
// thousands of antialiased streets is the dearest thing the map paints, so they are painted into
// tiles fixed to the world at the view's scale: a moving view paints only the tiles that come into
// it, and the others are copied.
class StreetLayer : public MapLayer {
public:
    static constexpr double ShownBelowKm = 25.0;
    static constexpr int TileSize = 512;

    explicit StreetLayer(std::shared_ptr<const Engine::Gazetteer> gazetteer);
    int zValue() const override { return 10; }
    void render(QPainter &painter, const MapViewport &viewport) override;

    // Tiles painted since the layer was made, for telling painting apart from copying.
    int tilesPainted() const { return m_tilesPainted; }

private:
    using TileIndex = std::pair<qint64, qint64>;   // column, row at m_scale
    QImage paintTile(TileIndex tile) const;

    std::shared_ptr<const Engine::Gazetteer> m_gazetteer;
    double m_scale = 0;   // pixels per world unit the tiles were painted at
    double m_width = 1;   // of a street's line, in pixels
    qreal m_ratio = 1;
    QFont m_font;
    std::map<TileIndex, QImage> m_tiles;   // a null image: nothing to draw there
    int m_tilesPainted = 0;
};
