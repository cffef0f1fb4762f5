#include "LabelPlacer.h"

#include <algorithm>

bool LabelPlacer::tryPlace(const QRectF &rect)
{
    if (std::any_of(m_taken.begin(), m_taken.end(), [&](const QRectF &r) { return r.intersects(rect); }))
        return false;
    m_taken.push_back(rect);
    return true;
}
