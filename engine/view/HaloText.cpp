#include "HaloText.h"

#include "MapStyle.h"

#include <QPainter>
#include <QPainterPath>

void drawHaloText(QPainter &painter, QPointF baseline, const QString &text, const QColor &colour)
{
    QPainterPath path;
    path.addText(baseline, painter.font(), text);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.strokePath(path, QPen(MapStyle::Halo, 3.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.fillPath(path, colour);
    painter.restore();
}
