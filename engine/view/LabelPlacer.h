#pragma once
#include <QRectF>

#include <vector>

// Keeps labels from overlapping: a label is drawn only where no earlier one lies.
class LabelPlacer {
public:
    bool tryPlace(const QRectF &rect);
    void clear() { m_taken.clear(); }

private:
    std::vector<QRectF> m_taken;
};
