#include "GridCellDelegate.h"

#include <QApplication>
#include <QPainter>
#include <QTextLayout>

void GridCellDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QWidget *widget = opt.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
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
    // Shaping is most of a cell's cost: the text is laid out once, and only a text too wide for
    // the cell is shaped again to elide it.
    QTextLayout layout(opt.text, opt.font, painter->device());
    QTextOption noWrap;
    noWrap.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(noWrap);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    layout.endLayout();
    const int y = area.top() + (area.height() - fm.height()) / 2;
    if (!line.isValid() || line.naturalTextWidth() <= area.width()) {
        const qreal width = line.isValid() ? line.naturalTextWidth() : 0;
        const qreal x = (opt.displayAlignment & Qt::AlignRight) ? area.right() + 1 - width : area.left();
        layout.draw(painter, QPointF(x, y + fm.ascent() - (line.isValid() ? line.ascent() : 0)));
    } else {
        const QString text = fm.elidedText(opt.text, opt.textElideMode, area.width());
        const int x = (opt.displayAlignment & Qt::AlignRight) ? area.right() + 1 - fm.horizontalAdvance(text) : area.left();
        painter->drawText(QPoint(x, y + fm.ascent()), text);
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
