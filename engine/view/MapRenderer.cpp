#include "MapRenderer.h"

#include "BasemapLayer.h"
#include "MapScene.h"
#include "PlaceLabelLayer.h"
#include "PushpinLayer.h"
#include "StreetLayer.h"

#include <QPaintDevice>
#include <QPainter>

#include <algorithm>

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
    const MapViewport viewport = m_scene.viewport(size);
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const ViewKey key{m_scene.centreLatitude(), m_scene.centreLongitude(), m_scene.altitudeKm(), size, ratio};
    if (m_frame.isNull() || !(key == m_frameKey)) {
        m_frame = QImage(size * ratio, QImage::Format_RGB32);
        m_frame.setDevicePixelRatio(ratio);
        QPainter framePainter(&m_frame);
        framePainter.setFont(painter.font());
        for (const auto &layer : m_background)
            layer->render(framePainter, viewport);
        m_frameKey = key;
    }
    painter.drawImage(QPointF(0, 0), m_frame);
    m_pins->render(painter, viewport);
}

void MapRenderer::render(QPaintDevice &device)
{
    QPainter painter(&device);
    render(painter, QSize(device.width(), device.height()));
}
