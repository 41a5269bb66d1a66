#pragma once
// The engine's only way onto the UI thread. The window provides it over the
// toolkit's event loop; tests provide a queue they pump themselves.

#include <chrono>
#include <functional>
#include <optional>

namespace mirvane {

class UiThread {
public:
    virtual ~UiThread() = default;

    // Runs fn on the UI thread and returns once it has run. Called from a
    // worker thread only: on the UI thread itself it would wait for itself.
    virtual void invoke(std::function<void()> fn) = 0;
    // Queues fn to run on the UI thread the next time it handles events.
    virtual void post(std::function<void()> fn) = 0;
    // Handles every pending event; when none is pending, waits for the next
    // one, but at most `wait` when given.
    virtual void processEvents(std::optional<std::chrono::milliseconds> wait) = 0;
};

}  // namespace mirvane
