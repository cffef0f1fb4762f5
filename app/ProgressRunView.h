#pragma once

#include "BatchGeocodeRun.h"

#include <functional>
#include <memory>

class QWidget;
class Tfrm_progress;

// The batch run as the main window shows it: the progress window, the running record number in
// a status panel, and the summary in a message box.
class TProgressRunView : public IBatchRunView {
public:
    using StatusPanel = std::function<void(const QString &text)>;

    TProgressRunView(QWidget *owner, StatusPanel showInStatusPanel);
    ~TProgressRunView() override;

    void Open() override;
    void SetRange(int min, int max) override;
    void SetPosition(int position) override;
    void ShowRecordNumber(int visited) override;
    void ShowSummary(int geocoded, int notGeocoded) override;
    void Close() noexcept override;

    static QString SummaryText(int geocoded, int notGeocoded);

private:
    QWidget *m_owner;
    StatusPanel m_statusPanel;
    std::unique_ptr<Tfrm_progress> m_progress;
};
