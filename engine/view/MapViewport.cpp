#include "MapViewport.h"

#include "GreatCircle.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {
constexpr double Pi = std::numbers::pi;
}

MapViewport::MapViewport(double centreLatitude, double centreLongitude, double altitudeKm, QSize size)
    : m_latitude(std::clamp(centreLatitude, -MaxLatitude, MaxLatitude)),
      m_longitude(centreLongitude),
      m_altitude(std::clamp(altitudeKm, MinAltitudeKm, MaxAltitudeKm)),
      m_size(size.expandedTo(QSize(1, 1)))
{
}

double MapViewport::kmPerPixel() const
{
    return m_altitude / m_size.height();
}

double MapViewport::pixelsPerWorldUnit() const
{
    const double groundKmPerUnit = 2.0 * Pi * GreatCircle::EarthRadiusKm * std::cos(m_latitude * Pi / 180.0);
    return groundKmPerUnit / kmPerPixel();
}

QPointF MapViewport::toWorld(double latitude, double longitude)
{
    const double phi = std::clamp(latitude, -MaxLatitude, MaxLatitude) * Pi / 180.0;
    return {(longitude + 180.0) / 360.0, 0.5 - std::log(std::tan(Pi / 4 + phi / 2)) / (2 * Pi)};
}

double MapViewport::latitudeOfWorldY(double y)
{
    return (2.0 * std::atan(std::exp((0.5 - y) * 2 * Pi)) - Pi / 2) * 180.0 / Pi;
}

QPointF MapViewport::worldToScreen(QPointF world, int copy) const
{
    const QPointF centre = toWorld(m_latitude, m_longitude);
    const double s = pixelsPerWorldUnit();
    return {(world.x() + copy - centre.x()) * s + m_size.width() / 2.0,
            (world.y() - centre.y()) * s + m_size.height() / 2.0};
}

QPointF MapViewport::screenToWorld(QPointF screen) const
{
    const QPointF centre = toWorld(m_latitude, m_longitude);
    const double s = pixelsPerWorldUnit();
    return {centre.x() + (screen.x() - m_size.width() / 2.0) / s,
            centre.y() + (screen.y() - m_size.height() / 2.0) / s};
}

QPointF MapViewport::toScreen(double latitude, double longitude) const
{
    return worldToScreen(toWorld(latitude, longitude));
}

QPointF MapViewport::latLonAt(QPointF screen) const
{
    const QPointF w = screenToWorld(screen);
    const double x = w.x() - std::floor(w.x());
    return {latitudeOfWorldY(std::clamp(w.y(), 0.0, 1.0)), x * 360.0 - 180.0};
}

QTransform MapViewport::worldTransform(int copy) const
{
    const QPointF origin = worldToScreen({0, 0}, copy);
    const double s = pixelsPerWorldUnit();
    return QTransform(s, 0, 0, s, origin.x(), origin.y());
}

QRectF MapViewport::visibleWorldRect() const
{
    return QRectF(screenToWorld({0, 0}), screenToWorld(QPointF(m_size.width(), m_size.height())));
}

int MapViewport::firstCopy() const
{
    return int(std::floor(visibleWorldRect().left()));
}

int MapViewport::lastCopy() const
{
    return int(std::floor(visibleWorldRect().right()));
}

GeoRect MapViewport::visibleBox() const
{
    const QRectF r = visibleWorldRect();
    const double centreX = toWorld(m_latitude, m_longitude).x();
    const double shift = std::floor(centreX);
    const double west = std::max(r.left() - shift, 0.0) * 360.0 - 180.0;
    const double east = std::min(r.right() - shift, 1.0) * 360.0 - 180.0;
    return {latitudeOfWorldY(std::min(r.bottom(), 1.0)), west,
            latitudeOfWorldY(std::max(r.top(), 0.0)), east};
}
