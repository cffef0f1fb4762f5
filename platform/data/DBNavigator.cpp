#include "DBNavigator.h"

#include "DataError.h"
#include "DataSource.h"
#include "RecordSet.h"

#include <QHBoxLayout>
#include <QMessageBox>
#include <QStyle>
#include <QToolButton>

DBNavigator::DBNavigator(QWidget *parent) : QWidget(parent)
{
    struct ButtonText { const char *name; const char *text; const char *tip; };
    static const ButtonText texts[ButtonCount] = {
        {"First", "|<", QT_TR_NOOP("First record")},   {"Prior", "<", QT_TR_NOOP("Prior record")},
        {"Next", ">", QT_TR_NOOP("Next record")},      {"Last", ">|", QT_TR_NOOP("Last record")},
        {"Insert", "+", QT_TR_NOOP("Insert record")},  {"Delete", "-", QT_TR_NOOP("Delete record")},
        {"Edit", "^", QT_TR_NOOP("Edit record")},      {"Post", "\u2713", QT_TR_NOOP("Post edit")},
        {"Cancel", "x", QT_TR_NOOP("Cancel edit")},    {"Refresh", "\u21BB", QT_TR_NOOP("Refresh data")},
    };
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (int b = 0; b < ButtonCount; ++b) {
        auto *button = new QToolButton(this);
        button->setObjectName(QString::fromLatin1(texts[b].name));
        button->setText(QString::fromUtf8(texts[b].text));
        button->setToolTip(tr(texts[b].tip));
        connect(button, &QToolButton::clicked, this, [this, b] {
            // A refused post or delete ends here, shown as the grid shows its own refusals.
            try {
                press(Button(b));
            } catch (const DataError &error) {
                QMessageBox::critical(this, QString(), error.message());
                updateButtons();
            }
        });
        layout->addWidget(button);
        m_buttons[b] = button;
    }
    updateButtons();
}

void DBNavigator::setDataSource(DataSource *ds)
{
    if (m_source)
        disconnect(m_source, nullptr, this, nullptr);
    m_source = ds;
    if (ds)
        connect(ds, &DataSource::dataSetReplaced, this, &DBNavigator::attach);
    attach();
}

void DBNavigator::attach()
{
    for (auto &link : m_links)
        disconnect(link);
    if (RecordSet *rs = m_source ? m_source->dataSet() : nullptr) {
        m_links[0] = connect(rs, &RecordSet::dataSetChanged, this, &DBNavigator::updateButtons);
        m_links[1] = connect(rs, &RecordSet::currentChanged, this, &DBNavigator::updateButtons);
        m_links[2] = connect(rs, &RecordSet::stateChanged, this, &DBNavigator::updateButtons);
        m_links[3] = connect(rs, &RecordSet::recordRemoved, this, &DBNavigator::updateButtons);
    }
    updateButtons();
}

void DBNavigator::press(Button b)
{
    RecordSet *rs = m_source ? m_source->dataSet() : nullptr;
    if (!rs)
        return;
    switch (b) {
    case First: rs->first(); break;
    case Prior: rs->prior(); break;
    case Next: rs->next(); break;
    case Last: rs->last(); break;
    case Insert: rs->insert(); break;
    case Delete:
        if (QMessageBox::question(this, QString(), tr("Delete record?"), QMessageBox::Ok | QMessageBox::Cancel)
            == QMessageBox::Ok)
            rs->remove();
        break;
    case Edit: rs->edit(); break;
    case Post: rs->post(); break;
    case Cancel: rs->cancel(); break;
    case Refresh: rs->refresh(); break;
    case ButtonCount: break;
    }
    updateButtons();
}

void DBNavigator::updateButtons()
{
    RecordSet *rs = m_source ? m_source->dataSet() : nullptr;
    const bool active = rs && rs->isActive();
    const bool browsing = active && rs->state() == RecordSet::State::Browse;
    const bool editing = active && !browsing;
    const bool any = active && rs->recordCount() > 0;
    m_buttons[First]->setEnabled(browsing && any && !rs->bof());
    m_buttons[Prior]->setEnabled(browsing && any && !rs->bof());
    m_buttons[Next]->setEnabled(browsing && any && !rs->eof());
    m_buttons[Last]->setEnabled(browsing && any && !rs->eof());
    m_buttons[Insert]->setEnabled(browsing);
    m_buttons[Delete]->setEnabled(browsing && any);
    m_buttons[Edit]->setEnabled(browsing && any);
    m_buttons[Post]->setEnabled(editing);
    m_buttons[Cancel]->setEnabled(editing);
    m_buttons[Refresh]->setEnabled(browsing);
}
