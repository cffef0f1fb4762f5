#pragma once
#include <QColor>
#include <QPointF>
#include <QString>

class QPainter;

// Text with a light outline, readable over any background.
void drawHaloText(QPainter &painter, QPointF baseline, const QString &text, const QColor &colour);
