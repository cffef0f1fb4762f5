#pragma once
#include <QPointF>
#include <QRectF>
#include <QSize>
#include <QTransform>

// Degrees, south/west/north/east; west > east never happens (the box is cut at the antimeridian).
struct GeoRect {
    double south, west, north, east;
};

// Web-Mercator view of the world. World units run 0..1 west to east and north to south.
// The view altitude is the ground distance, in kilometres, that the view's height covers at its
// centre (an eye at that height with a field of view of about 53 degrees sees as much).
class MapViewport {
public:
    static constexpr double MaxLatitude = 85.05112878;
    static constexpr double MinAltitudeKm = 0.05;
    static constexpr double MaxAltitudeKm = 40000.0;

    MapViewport(double centreLatitude, double centreLongitude, double altitudeKm, QSize size);

    double centreLatitude() const { return m_latitude; }
    double centreLongitude() const { return m_longitude; }
    double altitudeKm() const { return m_altitude; }
    QSize size() const { return m_size; }

    double kmPerPixel() const;
    double pixelsPerWorldUnit() const;

    static QPointF toWorld(double latitude, double longitude);
    static double latitudeOfWorldY(double y);

    // Screen position of a world point, for the world copy shifted by `copy` widths.
    QPointF worldToScreen(QPointF world, int copy = 0) const;
    QPointF screenToWorld(QPointF screen) const;
    QPointF toScreen(double latitude, double longitude) const;
    // Latitude, longitude (longitude wrapped into -180..180) at a screen position.
    QPointF latLonAt(QPointF screen) const;

    // World -> screen for one world copy, to paint paths held in world units.
    QTransform worldTransform(int copy) const;
    // The world copies (..., -1, 0, 1, ...) that the view shows part of.
    int firstCopy() const;
    int lastCopy() const;
    QRectF visibleWorldRect() const;
    // The visible area in degrees, clipped to one world copy around the centre.
    GeoRect visibleBox() const;

private:
    double m_latitude, m_longitude, m_altitude;
    QSize m_size;
};
