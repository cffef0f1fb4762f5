#include "ModalScript.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <QWidget>

#include <exception>

#include <gtest/gtest.h>

namespace {

bool matches(const QWidget *w, const QString &which)
{
    return w->objectName() == which || w->inherits(which.toLatin1().constData());
}

QString describe(const QWidget *w)
{
    QString d = QString::fromLatin1(w->metaObject()->className());
    if (!w->objectName().isEmpty())
        d += QStringLiteral(" '%1'").arg(w->objectName());
    if (const auto *box = qobject_cast<const QMessageBox *>(w))
        d += QStringLiteral(" saying \"%1\"").arg(box->text());
    return d;
}

void reject(QWidget *w)
{
    if (auto *dialog = qobject_cast<QDialog *>(w)) {
        dialog->done(QDialog::Rejected);
        return;
    }
    w->close();
    w->hide();   // a widget that refuses to close must still leave the modal loop
}

} // namespace

ModalScript::ModalScript()
{
    schedulePoll();
}

ModalScript::~ModalScript()
{
    finish();
    for (const QString &f : std::as_const(m_failures))
        ADD_FAILURE() << f.toStdString();
}

void ModalScript::expect(const QString &which, Action action)
{
    m_expected.push_back({which, std::move(action)});
}

ModalScript::Action ModalScript::clickButton(const QString &textOrName)
{
    return [textOrName](QWidget *modal) {
        for (QAbstractButton *b : modal->findChildren<QAbstractButton *>()) {
            if (b->objectName() == textOrName || b->text().remove(u'&') == textOrName) {
                b->click();
                return;
            }
        }
        ADD_FAILURE() << "no button '" << textOrName.toStdString() << "' in " << describe(modal).toStdString();
        reject(modal);
    };
}

ModalScript::Action ModalScript::pressStandardButton(QMessageBox::StandardButton button)
{
    return [button](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        QAbstractButton *b = box ? box->button(button) : nullptr;
        if (!b) {
            ADD_FAILURE() << describe(modal).toStdString() << " has no such standard button";
            reject(modal);
            return;
        }
        b->click();
    };
}

void ModalScript::finish()
{
    m_finished = true;
    for (const Expectation &e : m_expected)
        m_failures << QStringLiteral("expected modal %1 never appeared").arg(e.which);
    m_expected.clear();
}

QStringList ModalScript::takeFailures()
{
    return std::exchange(m_failures, {});
}

void ModalScript::schedulePoll()
{
    if (m_polling || m_finished)
        return;
    m_polling = true;
    QTimer::singleShot(0, this, [this] {
        m_polling = false;
        poll();
    });
}

void ModalScript::poll()
{
    // Poll again first: the action may open a nested modal of its own.
    schedulePoll();
    QWidget *modal = QApplication::activeModalWidget();
    if (!modal)
        return;
    if (m_expected.empty()) {
        fail(QStringLiteral("unexpected modal %1").arg(describe(modal)), modal);
        return;
    }
    if (!matches(modal, m_expected.front().which)) {
        fail(QStringLiteral("expected modal %1 but %2 appeared").arg(m_expected.front().which, describe(modal)), modal);
        return;
    }
    Action action = std::move(m_expected.front().action);
    m_expected.pop_front();
    // An exception must not unwind through the modal loop: the test would hang or abort.
    try {
        action(modal);
    } catch (const std::exception &e) {
        fail(QStringLiteral("answering %1 threw: %2").arg(describe(modal), QString::fromUtf8(e.what())), modal);
    }
}

void ModalScript::fail(const QString &message, QWidget *strayToReject)
{
    m_failures << message;
    reject(strayToReject);
}
