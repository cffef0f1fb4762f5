#pragma once

#include <QElapsedTimer>

#include <memory>

class Connection;
class QProgressDialog;
class QWidget;

// While it lives, a query of the connection that reads for longer than half a second shows a
// small window saying so; its Stop button (or Esc) stops the query, whose open then fails with
// the data layer's message. Blocks the other windows meanwhile, so nothing else can use the
// connection while the query runs.
class TQueryStopWindow {
public:
    TQueryStopWindow(Connection &connection, QWidget *owner);
    ~TQueryStopWindow();
    TQueryStopWindow(const TQueryStopWindow &) = delete;
    TQueryStopWindow &operator=(const TQueryStopWindow &) = delete;

private:
    void whileReading();

    Connection &m_connection;
    QWidget *m_owner;
    QElapsedTimer m_clock;
    std::unique_ptr<QProgressDialog> m_window;
};
