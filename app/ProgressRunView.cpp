#include "ProgressRunView.h"

#include <progressUnit.h>

#include <QMessageBox>

TProgressRunView::TProgressRunView(QWidget *owner, StatusPanel showInStatusPanel)
    : m_owner(owner), m_statusPanel(std::move(showInStatusPanel))
{
}

TProgressRunView::~TProgressRunView() = default;

void TProgressRunView::Open()
{
    m_progress = std::make_unique<Tfrm_progress>(m_owner, QStringLiteral("Geocoding all records"));
    m_progress->SingleBarLayout();
}

void TProgressRunView::SetRange(int min, int max)
{
    m_progress->SetRange(min, max);
    m_progress->show();
}

void TProgressRunView::SetPosition(int position)
{
    m_progress->SetPosition(position);
}

void TProgressRunView::ShowRecordNumber(int visited)
{
    m_statusPanel(QString::number(visited));
}

QString TProgressRunView::SummaryText(int geocoded, int notGeocoded)
{
    return QStringLiteral("Records geocoded: %1\r\nRecords not geocoded: %2").arg(geocoded).arg(notGeocoded);
}

void TProgressRunView::ShowSummary(int geocoded, int notGeocoded)
{
    QMessageBox box(QMessageBox::Question, QObject::tr("Confirm"), SummaryText(geocoded, notGeocoded),
                    QMessageBox::Ok, m_owner);
    box.exec();
}

void TProgressRunView::Close() noexcept
{
    m_progress.reset();
}
