#include "support/queue_ui_thread.h"

#include <algorithm>
#include <future>

namespace mirvane::test {

void QueueUiThread::invoke(std::function<void()> fn) {
    std::promise<void> done;
    std::future<void> finished = done.get_future();
    post([&] {
        fn();
        done.set_value();
    });
    finished.wait();
}

void QueueUiThread::post(std::function<void()> fn) {
    {
        std::lock_guard guard(m_lock);
        m_queue.push_back(std::move(fn));
    }
    m_wake.notify_all();
}

void QueueUiThread::processEvents(std::optional<std::chrono::milliseconds> wait) {
    ++m_passes;
    std::deque<std::function<void()>> pending;
    {
        std::unique_lock guard(m_lock);
        if (m_queue.empty()) {
            // The user may act while nothing else happens: never wait long.
            auto limit = onPass ? std::chrono::milliseconds(20) : wait.value_or(std::chrono::hours(1));
            if (wait && *wait < limit) limit = *wait;
            // On the virtual clock a worker still gets a moment to post its end.
            if (clock && wait) limit = std::min(limit, std::chrono::milliseconds(10));
            const bool woken = m_wake.wait_for(guard, limit, [this] { return !m_queue.empty(); });
            if (clock && wait && !woken) clock->advance(*wait);
        }
        pending.swap(m_queue);
    }
    for (auto& fn : pending) fn();
    if (onPass) onPass();
}

}  // namespace mirvane::test
