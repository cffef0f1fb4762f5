#include "GridCellDelegate.h"

#include <QApplication>
#include <QPainter>

void GridCellDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QWidget *widget = opt.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    // The cell's own share of the grid lines, its right and bottom edge, where the view would
    // have drawn them.
    const QColor grid = QColor::fromRgba(QRgb(style->styleHint(QStyle::SH_Table_GridLineColor, &opt, widget)));
    painter->fillRect(QRect(opt.rect.right(), opt.rect.top(), 1, opt.rect.height()), grid);
    painter->fillRect(QRect(opt.rect.left(), opt.rect.bottom(), opt.rect.width() - 1, 1), grid);
    opt.rect.adjust(0, 0, -1, -1);
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &opt, painter, widget);

    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    const QRect area = opt.rect.adjusted(margin, 0, -margin, 0);
    const QFontMetrics &fm = opt.fontMetrics;
    const QPalette::ColorGroup group = !(opt.state & QStyle::State_Enabled) ? QPalette::Disabled
                                       : (opt.state & QStyle::State_Active) ? QPalette::Normal
                                                                            : QPalette::Inactive;
    painter->save();
    painter->setFont(opt.font);
    painter->setPen(opt.palette.color(group, (opt.state & QStyle::State_Selected) ? QPalette::HighlightedText
                                                                                  : QPalette::Text));
    const bool right = opt.displayAlignment & Qt::AlignRight;
    const int y = area.top() + (area.height() - fm.height()) / 2 + fm.ascent();
    SimpleTextLine &line = lineFor(opt.font);
    if (opt.textElideMode == Qt::ElideRight && line.layOut(opt.text, area.width())) {
        line.draw(painter, QPointF(right ? area.right() + 1 - line.width() : area.left(), y));
    } else {
        const QString text = fm.elidedText(opt.text, opt.textElideMode, area.width());
        painter->drawText(QPoint(right ? area.right() + 1 - fm.horizontalAdvance(text) : area.left(), y), text);
    }
    painter->restore();

    if (opt.state & QStyle::State_HasFocus) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(opt);
        focus.rect = style->subElementRect(QStyle::SE_ItemViewItemFocusRect, &opt, widget);
        focus.state |= QStyle::State_KeyboardFocusChange | QStyle::State_Item;
        focus.backgroundColor = opt.palette.color(group, (opt.state & QStyle::State_Selected) ? QPalette::Highlight
                                                                                              : QPalette::Window);
        style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, widget);
    }
}

SimpleTextLine &GridCellDelegate::lineFor(const QFont &font) const
{
    if (!m_line || font != m_lineFont) {
        m_lineFont = font;
        m_line.emplace(QRawFont::fromFont(font));
    }
    return *m_line;
}

void GridCellDelegate::updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                                            const QModelIndex &index) const
{
    QStyleOptionViewItem inside = option;
    inside.rect.adjust(0, 0, -1, -1);   // the grid lines stay visible around the editor
    QStyledItemDelegate::updateEditorGeometry(editor, inside, index);
}
