#pragma once

#include "ErrorDisplay.h"

#include <concepts>
#include <exception>
#include <functional>
#include <utility>

// Qt carries no exception through its event dispatch or a signal's emission. Every handler the
// program connects goes through this guard: an error ends the handler alone and is shown by the
// application-wide display, and the window stays usable.
template <class Handler>
class HandlerGuard {
public:
    explicit HandlerGuard(Handler handler) : m_handler(std::move(handler)) {}

    // Constrained, so that a signal's extra arguments are dropped as for a plain handler.
    template <class... Args>
        requires std::invocable<const Handler &, Args...>
    void operator()(Args &&...args) const noexcept
    {
        try {
            std::invoke(m_handler, std::forward<Args>(args)...);
        } catch (const std::exception &error) {
            ErrorDisplay::Show(error);
        }
    }

private:
    Handler m_handler;
};

template <class Handler>
HandlerGuard<Handler> Guarded(Handler handler)
{
    return HandlerGuard<Handler>(std::move(handler));
}
