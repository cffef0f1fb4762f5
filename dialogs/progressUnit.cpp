#include "progressUnit.h"
#include "ui_progressUnit.h"

#include <QCloseEvent>
#include <QScreen>

#include <algorithm>
#include <stdexcept>

namespace {

void setMinimumChecked(QProgressBar *bar, int min)
{
    // QProgressBar would silently drag the maximum along; the run relies on being told instead.
    if (min > bar->maximum())
        throw std::runtime_error(QStringLiteral("Progress range refused: the minimum %1 of %2 lies above its maximum %3.")
                                     .arg(min).arg(bar->objectName()).arg(bar->maximum()).toStdString());
    bar->setMinimum(min);
}

void setMaximumChecked(QProgressBar *bar, int max)
{
    if (max < bar->minimum())
        throw std::runtime_error(QStringLiteral("Progress range refused: the maximum %1 of %2 lies below its minimum %3.")
                                     .arg(max).arg(bar->objectName()).arg(bar->minimum()).toStdString());
    bar->setMaximum(max);
}

} // namespace

Tfrm_progress::Tfrm_progress(QWidget *owner, const QString &caption)
    : QWidget(owner, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint), ui(std::make_unique<Ui::frm_progress>())
{
    ui->setupUi(this);
    setWindowTitle(caption);
    for (QWidget *child : {static_cast<QWidget *>(ui->progress1), static_cast<QWidget *>(ui->Panel1),
                           static_cast<QWidget *>(ui->progress2)})
        m_anchors.append({child, height() - child->geometry().bottom() - 1});
    m_singleBarHeight = ui->progress2->geometry().bottom() + 1;
    if (const QScreen *s = screen())
        move(s->availableGeometry().center() - rect().center());
}

Tfrm_progress::~Tfrm_progress() = default;

void Tfrm_progress::SingleBarLayout()
{
    resize(width(), m_singleBarHeight);
    hangChildrenFromBottom();
}

void Tfrm_progress::SetRange(int min, int max)
{
    setMinimumChecked(ui->progress1, min);
    setMaximumChecked(ui->progress1, max);
    setMinimumChecked(ui->progress2, min);
    setMaximumChecked(ui->progress2, max);
}

void Tfrm_progress::SetPosition(int value)
{
    // A native bar clamps; QProgressBar would ignore an out-of-range value and show a stale one.
    ui->progress1->setValue(std::clamp(value, ui->progress1->minimum(), ui->progress1->maximum()));
}

void Tfrm_progress::closeEvent(QCloseEvent *event)
{
    // Alt+F4 or a window manager's close: the run that owns the window is still going.
    event->ignore();
}

void Tfrm_progress::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    hangChildrenFromBottom();
}

void Tfrm_progress::hangChildrenFromBottom()
{
    for (const BottomAnchor &a : std::as_const(m_anchors))
        a.child->setGeometry(0, height() - a.bottomGap - a.child->height(), width(), a.child->height());
}
