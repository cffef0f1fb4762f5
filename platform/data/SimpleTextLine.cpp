#include "SimpleTextLine.h"

#include <QPainter>

SimpleTextLine::SimpleTextLine(const QRawFont &font) : m_font(font)
{
    const QChar ellipsis(0x2026);
    int count = 1;
    QPointF advance;
    if (m_font.isValid() && m_font.glyphIndexesForChars(&ellipsis, 1, &m_ellipsis, &count) && m_ellipsis != 0
        && m_font.advancesForGlyphIndexes(&m_ellipsis, &advance, 1))
        m_ellipsisAdvance = advance.x();
    else
        m_ellipsis = 0;
}

bool SimpleTextLine::needsNoShaping(const QString &text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        // Controls and the soft hyphen are the text engine's to hide; combining marks from
        // U+0300 on and every other script are its to shape.
        if (u < 0x20 || (u >= 0x7F && u < 0xA0) || u == 0xAD || u >= 0x300)
            return false;
    }
    return true;
}

bool SimpleTextLine::layOut(const QString &text, qreal width)
{
    if (m_ellipsis == 0 || !needsNoShaping(text))
        return false;
    const int n = int(text.size());
    m_positions.clear();
    m_width = 0;
    if (n == 0)
        return true;
    m_glyphs.resize(n);
    m_advances.resize(n);
    int count = n;
    if (!m_font.glyphIndexesForChars(text.constData(), n, m_glyphs.data(), &count) || count != n
        || !m_font.advancesForGlyphIndexes(m_glyphs.constData(), m_advances.data(), n, QRawFont::KernedAdvances))
        return false;
    qreal total = 0;
    for (int i = 0; i < n; ++i) {
        if (m_glyphs[i] == 0)
            return false;   // the font lacks it: the text engine falls back to another font
        total += m_advances[i].x();
    }
    int kept = n;
    if (total > width && m_ellipsisAdvance > width)
        return true;   // not even the ellipsis fits: nothing shows
    if (total > width) {
        // As much of the text as fits beside the ellipsis, kerned against it.
        total = 0;
        kept = 0;
        while (kept < n && total + m_advances[kept].x() + m_ellipsisAdvance <= width)
            total += m_advances[kept++].x();
        for (++kept;; --kept) {
            m_glyphs.resize(kept);
            m_glyphs[kept - 1] = m_ellipsis;
            m_advances.resize(kept);
            if (!m_font.advancesForGlyphIndexes(m_glyphs.constData(), m_advances.data(), kept, QRawFont::KernedAdvances))
                return false;
            total = 0;
            for (const QPointF &advance : m_advances)
                total += advance.x();
            if (total <= width || kept == 1)
                break;
        }
    }
    m_positions.resize(kept);
    qreal x = 0;
    for (int i = 0; i < kept; ++i) {
        m_positions[i] = QPointF(x, 0);
        x += m_advances[i].x();
    }
    m_width = total;
    return true;
}

void SimpleTextLine::draw(QPainter *painter, const QPointF &baseline) const
{
    if (m_positions.isEmpty())
        return;
    QGlyphRun run;
    run.setRawFont(m_font);
    run.setGlyphIndexes(m_glyphs);
    run.setPositions(m_positions);
    painter->drawGlyphRun(baseline, run);
}
