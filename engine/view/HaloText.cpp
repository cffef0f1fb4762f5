#include "HaloText.h"

#include "MapStyle.h"

#include <QPainter>

void drawHaloText(QPainter &painter, QPointF baseline, const QString &text, const QColor &colour)
{
    // Eight offset copies of the glyphs: much cheaper than stroking the text outline, and the
    // glyph cache makes each copy almost free.
    painter.save();
    painter.setPen(MapStyle::Halo);
    for (const QPointF d : {QPointF(-1, -1), QPointF(0, -1.2), QPointF(1, -1), QPointF(1.2, 0), QPointF(1, 1),
                            QPointF(0, 1.2), QPointF(-1, 1), QPointF(-1.2, 0)})
        painter.drawText(baseline + d, text);
    painter.setPen(colour);
    painter.drawText(baseline, text);
    painter.restore();
}
