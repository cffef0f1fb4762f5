#include "ToolIcon.h"

#include "PushpinLayer.h"

#include <QPainter>
#include <QPixmap>

QIcon glyphIcon(const QString &glyph)
{
    QPixmap pixmap(22, 22);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing, true);
    QFont font = painter.font();
    font.setPixelSize(16);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(0x2b, 0x4a, 0x6f));
    painter.drawText(pixmap.rect(), Qt::AlignCenter, glyph);
    return QIcon(pixmap);
}

QIcon pushpinIcon(qint16 symbol)
{
    QPixmap pixmap(22, 22);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    PushpinLayer::drawPin(painter, QPointF(8, 21), symbol);
    return QIcon(pixmap);
}

QIcon copyIcon()
{
    QPixmap pixmap(22, 22);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QPen(QColor(0x2b, 0x4a, 0x6f), 1.6));
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(QRectF(3.5, 3.5, 10, 12), 1.5, 1.5);
    painter.drawRoundedRect(QRectF(8.5, 7.5, 10, 12), 1.5, 1.5);
    return QIcon(pixmap);
}
