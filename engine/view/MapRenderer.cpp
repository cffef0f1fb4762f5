#include "MapRenderer.h"

#include "BasemapLayer.h"
#include "MapScene.h"
#include "MapStyle.h"
#include "PlaceLabelLayer.h"
#include "PushpinLayer.h"
#include "StreetLayer.h"

#include <QPaintDevice>
#include <QPainter>

#include <algorithm>
#include <cmath>

MapRenderer::MapRenderer(const MapScene &scene, std::shared_ptr<const Basemap> coarse,
                         std::shared_ptr<const Basemap> fine, std::shared_ptr<const Engine::Gazetteer> gazetteer)
    : m_scene(scene)
{
    auto basemap = std::make_unique<BasemapLayer>(std::move(coarse), std::move(fine));
    m_basemap = basemap.get();
    m_background.push_back(std::move(basemap));
    m_background.push_back(std::make_unique<StreetLayer>(gazetteer));
    m_background.push_back(std::make_unique<PlaceLabelLayer>(*m_basemap, gazetteer));
    std::stable_sort(m_background.begin(), m_background.end(), [](const auto &a, const auto &b) { return a->zValue() < b->zValue(); });
    m_pins = std::make_unique<PushpinLayer>(scene);
}

MapRenderer::~MapRenderer() = default;

void MapRenderer::render(QPainter &painter, QSize size)
{
    renderView(painter, size, m_panning);
}

void MapRenderer::renderView(QPainter &painter, QSize size, bool shiftWhilePanning)
{
    const MapViewport viewport = m_scene.viewport(size);
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const ViewKey key{m_scene.centreLatitude(), m_scene.centreLongitude(), m_scene.altitudeKm(), size, ratio};
    if (m_frame.isNull() || !(key == m_frameKey)) {
        if (!shiftWhilePanning || !drawShiftedFrame(painter, viewport, size, ratio)) {
            renderFrame(painter, viewport, size, ratio);
            m_frameKey = key;
            painter.drawImage(QPointF(0, 0), m_frame);
        }
    } else {
        painter.drawImage(QPointF(0, 0), m_frame);
    }
    m_pins->render(painter, viewport);
}

void MapRenderer::setPanning(bool panning)
{
    m_panning = panning;
}

void MapRenderer::renderFrame(QPainter &painter, const MapViewport &viewport, QSize size, qreal ratio)
{
    m_frame = QImage(size * ratio, QImage::Format_RGB32);
    m_frame.setDevicePixelRatio(ratio);
    QPainter framePainter(&m_frame);
    framePainter.setFont(painter.font());
    for (const auto &layer : m_background)
        layer->render(framePainter, viewport);
    m_framePixelsPerWorldUnit = viewport.pixelsPerWorldUnit();
}

// The last image moved to where its centre now lies, and scaled about it when the view was
// zoomed; what it no longer covers is sea until the full repaint. Fails where it would cover less
// than two thirds of the view across or down, or would be enlarged so far that its pixels show.
bool MapRenderer::drawShiftedFrame(QPainter &painter, const MapViewport &viewport, QSize size, qreal ratio) const
{
    constexpr double MaxEnlargement = 4.0;
    if (m_frame.isNull() || m_frameKey.size != size || m_frameKey.devicePixelRatio != ratio)
        return false;
    const double zoom = viewport.pixelsPerWorldUnit() / m_framePixelsPerWorldUnit;
    if (!(zoom <= MaxEnlargement))
        return false;
    const QPointF frameCentre = MapViewport::toWorld(m_frameKey.latitude, m_frameKey.longitude);
    const QPointF screenCentre(size.width() / 2.0, size.height() / 2.0);
    // The nearest world copy of the old centre, so a drag across the antimeridian stays a small shift.
    QPointF shift = viewport.worldToScreen(frameCentre) - screenCentre;
    for (int copy : {-1, 1}) {
        const QPointF other = viewport.worldToScreen(frameCentre, copy) - screenCentre;
        if (other.manhattanLength() < shift.manhattanLength())
            shift = other;
    }
    // At the same scale the image moves by whole device pixels and stays sharp.
    const bool sameScale = std::abs(zoom - 1) <= 1e-9;
    const QRectF target = sameScale ? QRectF(QPointF((shift * ratio).toPoint()) / ratio, QSizeF(size))
                                    : QRectF(screenCentre + shift - QPointF(size.width(), size.height()) * zoom / 2, QSizeF(size) * zoom);
    const QRectF covered = target & QRectF(QPointF(0, 0), QSizeF(size));
    if (covered.width() * 3 < size.width() * 2 || covered.height() * 3 < size.height() * 2)
        return false;
    painter.fillRect(QRect(QPoint(0, 0), size), MapStyle::Sea);
    if (sameScale)
        painter.drawImage(target.topLeft(), m_frame);
    else
        painter.drawImage(target, m_frame);
    return true;
}

void MapRenderer::render(QPaintDevice &device)
{
    // Pictures of the map are always of the full view, even in the middle of a drag.
    QPainter painter(&device);
    renderView(painter, QSize(device.width(), device.height()), false);
}
