#pragma once

#include <QDialog>

#include <memory>

namespace Ui { class GetStringForm; }

// Asks the user for a text: a prompt on the left, a memo on the right, Ok only while there is text.
// exec() returns 1 for Ok and 2 for Cancel, Esc or closing the window.
class TGetStringForm : public QDialog {
    Q_OBJECT
public:
    explicit TGetStringForm(QWidget *owner);
    ~TGetStringForm() override;

    void SetPrompt(const QString &text);
    // Lone CR or LF become CR LF; an equal text changes nothing and raises no change.
    void SetString(const QString &text);
    // The whole text, lines separated by CR LF.
    QString GetString() const;
    void EnlargeMemo();

    void Memo1Change(QObject *sender);

    void reject() override;

private:
    std::unique_ptr<Ui::GetStringForm> ui;
};
