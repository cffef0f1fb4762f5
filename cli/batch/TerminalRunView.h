#pragma once

#include <BatchGeocodeRun.h>

#include <QElapsedTimer>

class TStopSignal;

#include <cstdio>

// The batch run in a terminal: one progress line rewritten in place (records done, rate, time
// left), or a plain line now and then when the output goes to a file or a pipe; the summary as
// two lines. A stop signal ends the run before the next record.
class TTerminalRunView : public IBatchRunView {
public:
    TTerminalRunView(std::FILE *out, bool isTerminal, const TStopSignal *stop = nullptr);

    void Open() override;
    void SetRange(int min, int max) override;
    void SetPosition(int position) override;
    void ShowRecordNumber(int visited) override;
    void ShowSummary(int geocoded, int notGeocoded) override;
    void Close() noexcept override;

    QString ProgressText(int visited, qint64 elapsedMs) const;

private:
    void write(const QString &text);

    std::FILE *m_out;
    bool m_isTerminal;
    int m_total = 0;
    QElapsedTimer m_clock;
    qint64 m_lastShownMs = 0;
    bool m_lineOpen = false;
    const TStopSignal *m_stop;
};
