#pragma once
class MapViewport;
class QPainter;

// One thing the renderer paints, lowest zValue first.
class MapLayer {
public:
    virtual ~MapLayer() = default;
    virtual int zValue() const = 0;
    virtual void render(QPainter &painter, const MapViewport &viewport) = 0;
};
