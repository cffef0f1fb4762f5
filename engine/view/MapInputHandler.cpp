#include "MapInputHandler.h"

#include "MapScene.h"
#include "MapWidget.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

#include <cmath>

namespace {
constexpr double WheelStepFactor = 1.25;
constexpr double DragThresholdPx = 4.0;
} // namespace

MapInputHandler::MapInputHandler(MapWidget &widget) : QObject(&widget), m_widget(widget)
{
    widget.installEventFilter(this);
}

void MapInputHandler::setClickTool(std::function<void(QPointF)> tool)
{
    m_clickTool = std::move(tool);
    m_widget.setCursor(m_clickTool ? Qt::CrossCursor : Qt::OpenHandCursor);
}

bool MapInputHandler::eventFilter(QObject *, QEvent *event)
{
    MapScene &scene = m_widget.scene();
    const QSize size = m_widget.size();
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto *e = static_cast<QMouseEvent *>(event);
        if (e->button() != Qt::LeftButton)
            return false;
        m_pressed = true;
        m_dragged = false;
        m_pressAt = m_lastAt = e->position();
        return true;
    }
    case QEvent::MouseMove: {
        auto *e = static_cast<QMouseEvent *>(event);
        if (!m_pressed)
            return false;
        if (!m_dragged && (e->position() - m_pressAt).manhattanLength() < DragThresholdPx)
            return true;
        if (!m_dragged) {
            m_widget.setCursor(Qt::ClosedHandCursor);
            m_widget.setPanning(true);
        }
        m_dragged = true;
        scene.panBy(e->position() - m_lastAt, size);
        m_lastAt = e->position();
        return true;
    }
    case QEvent::MouseButtonRelease: {
        auto *e = static_cast<QMouseEvent *>(event);
        if (e->button() != Qt::LeftButton || !m_pressed)
            return false;
        m_pressed = false;
        if (m_dragged)
            m_widget.setPanning(false);
        if (!m_dragged && m_clickTool)
            m_clickTool(e->position());
        m_widget.setCursor(m_clickTool ? Qt::CrossCursor : Qt::OpenHandCursor);
        return true;
    }
    case QEvent::MouseButtonDblClick: {
        auto *e = static_cast<QMouseEvent *>(event);
        scene.zoomBy(2.0, e->position(), size);
        return true;
    }
    case QEvent::Wheel: {
        auto *e = static_cast<QWheelEvent *>(event);
        const double steps = e->angleDelta().y() / 120.0;
        if (steps != 0) {
            m_widget.wheelTurned();
            scene.zoomBy(std::pow(WheelStepFactor, steps), e->position(), size);
        }
        return true;
    }
    case QEvent::KeyPress: {
        auto *e = static_cast<QKeyEvent *>(event);
        const QPointF centre(size.width() / 2.0, size.height() / 2.0);
        switch (e->key()) {
        case Qt::Key_Plus: case Qt::Key_Equal: scene.zoomBy(2.0, centre, size); return true;
        case Qt::Key_Minus: scene.zoomBy(0.5, centre, size); return true;
        case Qt::Key_Left: scene.panBy({size.width() / 4.0, 0}, size); return true;
        case Qt::Key_Right: scene.panBy({-size.width() / 4.0, 0}, size); return true;
        case Qt::Key_Up: scene.panBy({0, size.height() / 4.0}, size); return true;
        case Qt::Key_Down: scene.panBy({0, -size.height() / 4.0}, size); return true;
        default: return false;
        }
    }
    default:
        return false;
    }
}
