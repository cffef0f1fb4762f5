#pragma once

#include <QGlyphRun>
#include <QRawFont>

class QPainter;

// One line of text laid out straight from the font's glyphs and kerned advances, for texts that
// need no shaping: Latin letters, digits and punctuation without combining marks. Shaping every
// cell through the text engine costs most of a grid repaint; customer records are nearly all
// such texts. Anything else is refused and left to the text engine.
class SimpleTextLine
{
public:
    explicit SimpleTextLine(const QRawFont &font);

    // Lays 'text' out, cut at the right with an ellipsis where it is wider than 'width'.
    // False when the text needs shaping or the font lacks one of its glyphs.
    bool layOut(const QString &text, qreal width);
    qreal width() const { return m_width; }
    void draw(QPainter *painter, const QPointF &baseline) const;

private:
    static bool needsNoShaping(const QString &text);

    QRawFont m_font;
    quint32 m_ellipsis = 0;
    qreal m_ellipsisAdvance = 0;
    QList<quint32> m_glyphs;
    QList<QPointF> m_advances;
    QList<QPointF> m_positions;
    qreal m_width = 0;
};
