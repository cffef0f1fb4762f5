#pragma once
#include "MapLayer.h"

#include <QtGlobal>

class MapScene;
class QPointF;
class QString;

// The scene's pushpins with their names. Symbol 0 is a red round-headed pin, symbol 1 a blue
// square flag.
class PushpinLayer : public MapLayer {
public:
    explicit PushpinLayer(const MapScene &scene);
    int zValue() const override { return 30; }
    void render(QPainter &painter, const MapViewport &viewport) override;

    static void drawPin(QPainter &painter, QPointF foot, qint16 symbol);

private:
    const MapScene &m_scene;
};
