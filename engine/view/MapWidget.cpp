#include "MapWidget.h"

#include "MapRenderer.h"
#include "MapScene.h"

#include <QPainter>

namespace {
// A drag or wheel that rests this long gets the full picture, without waiting for the release.
constexpr int SettleMs = 150;
} // namespace

MapWidget::MapWidget(std::shared_ptr<MapScene> scene, std::shared_ptr<MapRenderer> renderer, QWidget *parent)
    : QWidget(parent), m_scene(std::move(scene)), m_renderer(std::move(renderer))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(200, 150);
    m_settle.setSingleShot(true);
    m_settle.setInterval(SettleMs);
    connect(&m_settle, &QTimer::timeout, this, [this] {
        m_renderer->setPanning(false);
        update();
    });
    connect(m_scene.get(), &MapScene::viewChanged, this, &MapWidget::followView);
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

void MapWidget::setPanning(bool panning)
{
    m_panning = panning;
    m_renderer->setPanning(panning);
    if (!panning) {
        m_settle.stop();
        update();
    }
}

void MapWidget::wheelTurned()
{
    m_renderer->setPanning(true);
    m_settle.start();
}

void MapWidget::followView()
{
    if (m_panning) {
        m_renderer->setPanning(true);
        m_settle.start();
    }
    update();
}
