#include "DBGrid.h"

#include "DataSource.h"
#include "GridCellDelegate.h"
#include "RecordSet.h"
#include "RecordSetModel.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMetaProperty>

#include <utility>

namespace {

// Row header that only ever shows the current-record marker. Its size hint comes from the widest
// marker instead of sampling two hundred rows' header texts, which the view asks for on every
// layout and which the model invalidates each time the current record moves.
class RecordMarkerHeader : public QHeaderView
{
public:
    explicit RecordMarkerHeader(QWidget *parent) : QHeaderView(Qt::Vertical, parent) {}

    QSize sizeHint() const override
    {
        if (!m_hint.isValid()) {
            QStyleOptionHeader opt;
            initStyleOption(&opt);
            opt.orientation = Qt::Vertical;
            for (const QString &marker : {QStringLiteral("\u25B6"), QStringLiteral("I"), QStringLiteral("*")}) {
                opt.text = marker;
                m_hint = m_hint.expandedTo(style()->sizeFromContents(QStyle::CT_HeaderSection, &opt, QSize(), this));
            }
        }
        return m_hint;
    }

protected:
    void changeEvent(QEvent *event) override
    {
        if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
            m_hint = QSize();
        QHeaderView::changeEvent(event);
    }

private:
    mutable QSize m_hint;
};

} // namespace

DBGrid::DBGrid(QWidget *parent) : QTableView(parent)
{
    setVerticalHeader(new RecordMarkerHeader(this));
    verticalHeader()->setSectionsClickable(true);
    verticalHeader()->setHighlightSections(true);
    // A fixed row height keeps large record sets instant; sizing rows to contents takes minutes.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    // One line per row: wrapping could never show its second line, and laying out text for it
    // costs most of a repaint.
    setWordWrap(false);
    setItemDelegate(new GridCellDelegate(this));
    setShowGrid(false);   // the cells draw the lines
    verticalHeader()->setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('W')) * 2);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                    | QAbstractItemView::AnyKeyPressed);
    QPalette p = palette();
    p.setColor(QPalette::Base, p.color(QPalette::ToolTipBase));
    p.setColor(QPalette::Text, p.color(QPalette::ToolTipText));
    setPalette(p);
    connect(this, &QTableView::clicked, this, [this](const QModelIndex &i) { emit cellClicked(i.column()); });
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, &DBGrid::titleClicked);
}

void DBGrid::setDataSource(DataSource *ds)
{
    m_source = ds;
    auto *old = m_model;
    m_model = ds ? new RecordSetModel(ds, this) : nullptr;
    setModel(m_model);
    delete old;
    if (m_model) {
        connect(m_model, &RecordSetModel::editFailed, this, [this](const QString &message) {
            QMessageBox::critical(this, QString(), message);
        });
        connect(m_model, &QAbstractItemModel::modelReset, this, &DBGrid::followRecordSet);
        connect(m_model, &QAbstractItemModel::headerDataChanged, this, [this](Qt::Orientation o) {
            if (o == Qt::Vertical)
                followRecordSet();
        });
    }
    rebuildColumns();
}

void DBGrid::rebuildColumns()
{
    if (!m_model)
        return;
    m_model->rebuildColumns();
    // A display width counts characters as wide as a digit, plus the cell's own margins.
    const int charWidth = fontMetrics().horizontalAdvance(QLatin1Char('0'));
    for (int c = 0; c < m_model->columnCount(); ++c) {
        const int chars = m_model->headerData(c, Qt::Horizontal, RecordSetModel::DisplayWidthRole).toInt();
        setColumnWidth(c, chars * charWidth + 14);
    }
}

void DBGrid::followRecordSet()
{
    RecordSet *rs = m_model ? m_model->recordSet() : nullptr;
    if (!rs || !rs->isActive() || rs->recNo() < 0 || rs->controlsDisabled())
        return;
    const int column = std::max(currentIndex().column(), 0);
    const QModelIndex target = m_model->index(rs->recNo(), column);
    if (target.isValid() && target.row() != currentIndex().row()) {
        selectionModel()->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect);
        scrollTo(target);
    }
}

void DBGrid::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QTableView::currentChanged(current, previous);
    RecordSet *rs = m_model ? m_model->recordSet() : nullptr;
    if (!rs || !rs->isActive() || !current.isValid() || current.row() == rs->recNo())
        return;
    // Leaving a record drops an unposted edit rather than writing it behind the user's back.
    if (rs->state() != RecordSet::State::Browse)
        rs->cancel();
    if (current.row() < rs->recordCount())
        rs->setRecNo(current.row());
}

void DBGrid::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::ControlModifier) {
        confirmDelete();
        return;
    }
    if (event->key() == Qt::Key_Escape && m_model && m_model->recordSet()
        && m_model->recordSet()->isActive() && m_model->recordSet()->state() != RecordSet::State::Browse) {
        m_model->recordSet()->cancel();
        return;
    }
    QTableView::keyPressEvent(event);
}

void DBGrid::hideEvent(QHideEvent *event)
{
    QTableView::hideEvent(event);
    // A minimised window hides nothing of its own.
    if (event->spontaneous())
        return;
    QWidget *focus = QApplication::focusWidget();
    m_suspended = {};
    m_suspended.focus = focus && (focus == this || isAncestorOf(focus));
    if (state() != EditingState || !focus || !viewport()->isAncestorOf(focus))
        return;
    QWidget *editor = focus;
    while (editor->parentWidget() != viewport())
        editor = editor->parentWidget();
    m_suspended.editing = currentIndex();
    m_suspended.editorValue = editor->metaObject()->userProperty().read(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void DBGrid::showEvent(QShowEvent *event)
{
    QTableView::showEvent(event);
    const Suspended suspended = std::exchange(m_suspended, {});
    if (suspended.focus)
        setFocus();
    if (!suspended.editing.isValid() || !edit(suspended.editing, AllEditTriggers, nullptr))
        return;
    if (QWidget *editor = indexWidget(suspended.editing))
        editor->metaObject()->userProperty().write(editor, suspended.editorValue);
}

void DBGrid::confirmDelete()
{
    RecordSet *rs = m_model ? m_model->recordSet() : nullptr;
    if (!rs || !rs->isActive() || rs->recNo() < 0)
        return;
    if (QMessageBox::question(this, QString(), tr("Delete record?"), QMessageBox::Ok | QMessageBox::Cancel)
        == QMessageBox::Ok)
        rs->remove();
}
