#include "QueryStopWindow.h"

#include <Connection.h>
#include <HandlerGuard.h>

#include <QCoreApplication>
#include <QProgressDialog>

namespace {
constexpr int ShowAfterMs = 500;
}

TQueryStopWindow::TQueryStopWindow(Connection &connection, QWidget *owner)
    : m_connection(connection), m_owner(owner)
{
    m_clock.start();
    m_connection.setWhileReading([this] { whileReading(); });
}

TQueryStopWindow::~TQueryStopWindow()
{
    m_connection.setWhileReading({});
}

void TQueryStopWindow::whileReading()
{
    if (!m_window) {
        if (!m_clock.hasExpired(ShowAfterMs))
            return;
        m_window = std::make_unique<QProgressDialog>(QStringLiteral("The query is still running."),
                                                     QStringLiteral("Stop"), 0, 0, m_owner);
        m_window->setObjectName(QStringLiteral("QueryStopWindow"));
        m_window->setWindowTitle(QStringLiteral("SQL-Selection"));
        m_window->setWindowModality(Qt::ApplicationModal);
        m_window->setMinimumDuration(0);
        QObject::connect(m_window.get(), &QProgressDialog::canceled, m_window.get(),
                         Guarded([this] { m_connection.interrupt(); }));
        m_window->show();
    }
    QCoreApplication::processEvents();
}
