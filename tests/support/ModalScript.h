#pragma once

#include "GuiTestApplication.h"

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>

class QWidget;

// Answers the modal dialogs and message boxes that the code under test opens with exec().
// Expect them in order before the call that opens them; each poll (a zero timer) looks at
// QApplication::activeModalWidget(). A modal nobody expected, or one that does not match the
// next expectation, or whose action throws, is rejected and recorded as a failure, so a broken
// test never hangs.
// Failures still held when the script ends are reported to GoogleTest.
class ModalScript : public QObject {
public:
    using Action = std::function<void(QWidget *modal)>;

    ModalScript();
    ~ModalScript() override;

    // which: the modal's object name or class name (e.g. "QMessageBox", "TGetStringForm").
    void expect(const QString &which, Action action);

    // Clicks the button whose object name or text (without '&') is textOrName.
    static Action clickButton(const QString &textOrName);
    static Action pressStandardButton(QMessageBox::StandardButton button);

    // Stops polling and turns expectations that were never met into failures.
    void finish();
    QStringList takeFailures();
    bool allAnswered() const { return m_expected.empty(); }

private:
    struct Expectation { QString which; Action action; };

    void schedulePoll();
    void poll();
    void fail(const QString &message, QWidget *strayToReject);

    std::deque<Expectation> m_expected;
    QStringList m_failures;
    bool m_polling = false;
    bool m_finished = false;
};
