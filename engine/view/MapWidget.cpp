#include "MapWidget.h"

#include "MapRenderer.h"
#include "MapScene.h"

#include <QPainter>

MapWidget::MapWidget(std::shared_ptr<MapScene> scene, std::shared_ptr<MapRenderer> renderer, QWidget *parent)
    : QWidget(parent), m_scene(std::move(scene)), m_renderer(std::move(renderer))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(200, 150);
    connect(m_scene.get(), &MapScene::viewChanged, this, qOverload<>(&QWidget::update));
    connect(m_scene.get(), &MapScene::pinsChanged, this, qOverload<>(&QWidget::update));
}

void MapWidget::paintEvent(QPaintEvent *)
{
    {
        QPainter painter(this);
        m_renderer->render(painter, size());
    }
    emit painted();
}
