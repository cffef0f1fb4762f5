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
