#include "TerminalRunView.h"

#include "StopSignal.h"

#include <QString>

#include <stdexcept>

namespace {
// A terminal follows the run closely; a log gets a line now and then.
constexpr qint64 TerminalIntervalMs = 100;
constexpr qint64 PlainIntervalMs = 5000;

QString clockText(qint64 seconds)
{
    const qint64 minutes = seconds / 60;
    return minutes >= 60 ? QStringLiteral("%1:%2:%3").arg(minutes / 60).arg(minutes % 60, 2, 10, QLatin1Char('0'))
                                   .arg(seconds % 60, 2, 10, QLatin1Char('0'))
                         : QStringLiteral("%1:%2").arg(minutes).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}
} // namespace

TTerminalRunView::TTerminalRunView(std::FILE *out, bool isTerminal, const TStopSignal *stop)
    : m_out(out), m_isTerminal(isTerminal), m_stop(stop)
{
}

void TTerminalRunView::Open()
{
    m_clock.start();
}

void TTerminalRunView::SetRange(int min, int max)
{
    if (max < min)
        throw std::runtime_error("The record set holds no records: there is nothing to geocode.");
    m_total = max - min + 1;
}

void TTerminalRunView::SetPosition(int)
{
}

void TTerminalRunView::ShowRecordNumber(int visited)
{
    if (m_stop)
        m_stop->ThrowIfReceived();
    const qint64 now = m_clock.elapsed();
    if (now - m_lastShownMs < (m_isTerminal ? TerminalIntervalMs : PlainIntervalMs))
        return;
    m_lastShownMs = now;
    write(ProgressText(visited, now));
}

QString TTerminalRunView::ProgressText(int visited, qint64 elapsedMs) const
{
    QString text = QStringLiteral("%1 of %2 records").arg(visited).arg(m_total);
    if (elapsedMs > 0 && visited > 0) {
        const double perSecond = visited * 1000.0 / double(elapsedMs);
        const qint64 secondsLeft = qint64((m_total - visited) / perSecond + 0.5);
        text += QStringLiteral(", %1 records/s, %2 left").arg(qint64(perSecond + 0.5)).arg(clockText(secondsLeft));
    }
    return text;
}

void TTerminalRunView::write(const QString &text)
{
    if (m_isTerminal) {
        // Erase to the end of the line: the new text may be shorter than the old.
        std::fputs(qPrintable(QStringLiteral("\r") + text + QStringLiteral("\x1b[K")), m_out);
        m_lineOpen = true;
    } else {
        std::fputs(qPrintable(text + QLatin1Char('\n')), m_out);
    }
    std::fflush(m_out);
}

void TTerminalRunView::ShowSummary(int geocoded, int notGeocoded)
{
    write(ProgressText(m_total, m_clock.elapsed()));
    Close();
    std::fputs(qPrintable(QStringLiteral("Records geocoded: %1\nRecords not geocoded: %2\n")
                              .arg(geocoded).arg(notGeocoded)),
               m_out);
    std::fflush(m_out);
}

void TTerminalRunView::Close() noexcept
{
    if (!m_lineOpen)
        return;
    std::fputc('\n', m_out);
    std::fflush(m_out);
    m_lineOpen = false;
}
