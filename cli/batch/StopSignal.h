#pragma once

#include <QString>

#include <memory>
#include <stdexcept>

class Connection;

// The command was stopped by SIGINT or SIGTERM; it ends with status 1.
class StopError : public std::runtime_error {
public:
    explicit StopError(const QString &message) : std::runtime_error(message.toStdString()) {}
};

// SIGINT and SIGTERM stop orvane-batch cleanly instead of killing it: a query still being read
// is interrupted at once, a run ends before its next record with every post before it saved.
// A second signal ends the program at once.
class TStopSignal {
public:
    // Blocks both signals in this thread and every thread started later, and starts the thread
    // that takes them; construct it before any other thread exists.
    TStopSignal();

    // The connection whose query a signal interrupts; nullptr: none.
    void Watch(Connection *connection) noexcept;
    // Throws StopError when a signal came.
    void ThrowIfReceived() const;
    bool Received() const;
    QString Message() const;   // "stopped by SIGINT." or "stopped by SIGTERM."

    struct State;

private:
    std::shared_ptr<State> m_state;   // shared with the watcher thread, which never ends
};
