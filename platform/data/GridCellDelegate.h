#pragma once

#include "SimpleTextLine.h"

#include <QStyledItemDelegate>

#include <optional>

// Paints a grid cell as one elided line of text with its share of the grid lines. The styled
// delegate lays every cell out for wrapping and icons the grid never shows, which is most of the
// time of a repaint, and the view strokes each grid line as a path; editing is the styled
// delegate's.
class GridCellDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    SimpleTextLine &lineFor(const QFont &font) const;

    mutable QFont m_lineFont;
    mutable std::optional<SimpleTextLine> m_line;
};
