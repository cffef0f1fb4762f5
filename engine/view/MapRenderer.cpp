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
    m_layers.push_back(std::move(basemap));
    m_layers.push_back(std::make_unique<StreetLayer>(gazetteer));
    m_layers.push_back(std::make_unique<PlaceLabelLayer>(*m_basemap, gazetteer));
    m_layers.push_back(std::make_unique<PushpinLayer>(scene));
    std::stable_sort(m_layers.begin(), m_layers.end(), [](const auto &a, const auto &b) { return a->zValue() < b->zValue(); });
}

MapRenderer::~MapRenderer() = default;

void MapRenderer::render(QPainter &painter, QSize size)
{
    const MapViewport viewport = m_scene.viewport(size);
    for (const auto &layer : m_layers)
        layer->render(painter, viewport);
}

void MapRenderer::render(QPaintDevice &device)
{
    QPainter painter(&device);
    render(painter, QSize(device.width(), device.height()));
}
