#include "StopSignal.h"

#include <Connection.h>

#include <atomic>
#include <csignal>
#include <mutex>
#include <pthread.h>
#include <thread>

struct TStopSignal::State {
    std::atomic<int> signal{0};
    std::mutex watched;
    Connection *connection = nullptr;
};

namespace {
sigset_t stopSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

void watch(const std::shared_ptr<TStopSignal::State> &state)
{
    const sigset_t set = stopSignals();
    for (;;) {
        int received = 0;
        if (sigwait(&set, &received) != 0)
            continue;
        if (state->signal.exchange(received) != 0) {
            // Asked twice: the default action, as if nothing had been caught.
            std::signal(received, SIG_DFL);
            pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
            raise(received);
        }
        const std::lock_guard lock(state->watched);
        if (state->connection)
            state->connection->interrupt();
    }
}
} // namespace

TStopSignal::TStopSignal() : m_state(std::make_shared<State>())
{
    const sigset_t set = stopSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::thread(watch, m_state).detach();
}

void TStopSignal::Watch(Connection *connection) noexcept
{
    const std::lock_guard lock(m_state->watched);
    m_state->connection = connection;
}

bool TStopSignal::Received() const
{
    return m_state->signal != 0;
}

QString TStopSignal::Message() const
{
    return QStringLiteral("stopped by %1.").arg(m_state->signal == SIGINT ? QStringLiteral("SIGINT")
                                                                          : QStringLiteral("SIGTERM"));
}

void TStopSignal::ThrowIfReceived() const
{
    if (Received())
        throw StopError(Message());
}
