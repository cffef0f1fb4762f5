#include "MapScene.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {
double wrapLongitude(double longitude)
{
    const double w = std::fmod(longitude + 180.0, 360.0);
    return (w < 0 ? w + 360.0 : w) - 180.0;
}
} // namespace

MapScene::MapScene() = default;

void MapScene::setView(double latitude, double longitude, double altitudeKm)
{
    m_latitude = std::clamp(latitude, -MapViewport::MaxLatitude, MapViewport::MaxLatitude);
    m_longitude = wrapLongitude(longitude);
    m_altitude = std::clamp(altitudeKm, MapViewport::MinAltitudeKm, MapViewport::MaxAltitudeKm);
    emit viewChanged();
}

void MapScene::setCentre(double latitude, double longitude)
{
    setView(latitude, longitude, m_altitude);
}

void MapScene::setAltitude(double altitudeKm)
{
    setView(m_latitude, m_longitude, altitudeKm);
}

MapViewport MapScene::viewport(QSize size) const
{
    return MapViewport(m_latitude, m_longitude, m_altitude, size);
}

void MapScene::panBy(QPointF pixels, QSize size)
{
    const MapViewport before = viewport(size);
    const double scale = before.pixelsPerWorldUnit();
    QPointF centre = MapViewport::toWorld(m_latitude, m_longitude) - pixels / scale;
    centre.setY(std::clamp(centre.y(), 0.0, 1.0));
    const double latitude = MapViewport::latitudeOfWorldY(centre.y());
    // Same pixels per world unit at the new centre: the altitude follows the latitude.
    const double altitude = m_altitude * std::cos(std::clamp(latitude, -MapViewport::MaxLatitude, MapViewport::MaxLatitude) * std::numbers::pi / 180.0)
        / std::cos(m_latitude * std::numbers::pi / 180.0);
    setView(latitude, centre.x() * 360.0 - 180.0, altitude);
}

void MapScene::zoomBy(double factor, QPointF anchor, QSize size)
{
    const MapViewport before = viewport(size);
    const QPointF anchorWorld = before.screenToWorld(anchor);
    const double altitude = std::clamp(m_altitude / factor, MapViewport::MinAltitudeKm, MapViewport::MaxAltitudeKm);
    const double applied = m_altitude / altitude;
    const QPointF centreWorld = MapViewport::toWorld(m_latitude, m_longitude);
    const QPointF centre = anchorWorld + (centreWorld - anchorWorld) / applied;
    const double latitude = MapViewport::latitudeOfWorldY(std::clamp(centre.y(), 0.0, 1.0));
    const double corrected = altitude * std::cos(std::clamp(latitude, -MapViewport::MaxLatitude, MapViewport::MaxLatitude) * std::numbers::pi / 180.0)
        / std::cos(m_latitude * std::numbers::pi / 180.0);
    setView(latitude, centre.x() * 360.0 - 180.0, corrected);
}

std::shared_ptr<MapScene::Pin> MapScene::addPin(const QString &name, double latitude, double longitude)
{
    auto pin = std::make_shared<Pin>(Pin{name, latitude, wrapLongitude(longitude), 0});
    m_pins.push_back(pin);
    emit pinsChanged();
    return pin;
}

std::shared_ptr<MapScene::Pin> MapScene::pinNamed(const QString &name) const
{
    const auto it = std::find_if(m_pins.begin(), m_pins.end(), [&](const auto &p) { return p->name == name; });
    return it == m_pins.end() ? nullptr : *it;
}

bool MapScene::removePin(const std::shared_ptr<Pin> &pin)
{
    const auto it = std::find(m_pins.begin(), m_pins.end(), pin);
    if (it == m_pins.end())
        return false;
    m_pins.erase(it);
    emit pinsChanged();
    return true;
}

bool MapScene::holds(const std::shared_ptr<Pin> &pin) const
{
    return std::find(m_pins.begin(), m_pins.end(), pin) != m_pins.end();
}

void MapScene::setPinSymbol(const std::shared_ptr<Pin> &pin, qint16 symbol)
{
    pin->symbol = symbol;
    emit pinsChanged();
}
