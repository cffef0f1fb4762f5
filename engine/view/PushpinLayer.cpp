#include "PushpinLayer.h"

#include "MapScene.h"
#include "MapStyle.h"
#include "MapViewport.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

PushpinLayer::PushpinLayer(const MapScene &scene) : m_scene(scene) {}

void PushpinLayer::drawPin(QPainter &painter, QPointF foot, qint16 symbol)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QPen(QColor(0, 0, 0, 60), 0));
    painter.setBrush(QColor(0, 0, 0, 50));
    painter.drawEllipse(foot, 4.0, 2.0);
    if (symbol == 1) {
        painter.setPen(QPen(QColor(0x33, 0x33, 0x33), 1.6, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(foot, foot + QPointF(0, -22));
        QPainterPath flag;
        flag.moveTo(foot + QPointF(0, -22));
        flag.lineTo(foot + QPointF(13, -22));
        flag.lineTo(foot + QPointF(13, -12));
        flag.lineTo(foot + QPointF(0, -12));
        flag.closeSubpath();
        painter.setPen(QPen(MapStyle::PinSquare.darker(150), 1.0));
        painter.setBrush(MapStyle::PinSquare);
        painter.drawPath(flag);
    } else {
        painter.setPen(QPen(QColor(0x55, 0x55, 0x55), 1.6, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(foot, foot + QPointF(0, -14));
        const QPointF head = foot + QPointF(0, -18);
        QRadialGradient shine(head + QPointF(-1.8, -1.8), 6.5);
        shine.setColorAt(0, MapStyle::PinRound.lighter(160));
        shine.setColorAt(1, MapStyle::PinRound);
        painter.setPen(QPen(MapStyle::PinRound.darker(160), 1.0));
        painter.setBrush(shine);
        painter.drawEllipse(head, 6.0, 6.0);
    }
    painter.restore();
}

void PushpinLayer::render(QPainter &painter, const MapViewport &viewport)
{
    painter.save();
    QFont font = painter.font();
    font.setPointSizeF(8.5);
    painter.setFont(font);
    const QFontMetricsF metrics(font);
    const QRectF screen = QRectF(QPointF(0, 0), QSizeF(viewport.size())).adjusted(-200, -40, 40, 40);
    for (const auto &pin : m_scene.pins()) {
        for (int copy = viewport.firstCopy(); copy <= viewport.lastCopy(); ++copy) {
            const QPointF foot = viewport.worldToScreen(MapViewport::toWorld(pin->latitude, pin->longitude), copy);
            if (!screen.contains(foot))
                continue;
            drawPin(painter, foot, pin->symbol);
            if (pin->name.isEmpty())
                continue;
            const QRectF box(foot.x() + 9, foot.y() - 31, metrics.horizontalAdvance(pin->name) + 8, metrics.height() + 3);
            painter.setRenderHint(QPainter::Antialiasing, true);
            painter.setPen(QPen(QColor(0x80, 0x80, 0x80), 0.8));
            painter.setBrush(QColor(0xff, 0xff, 0xf4, 0xe8));
            painter.drawRoundedRect(box, 3, 3);
            painter.setPen(QColor(0x20, 0x20, 0x20));
            painter.drawText(box.adjusted(4, 1, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, pin->name);
        }
    }
    painter.restore();
}
