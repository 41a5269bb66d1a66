#include "cli/console_ui_thread.h"

#include <utility>

namespace mirvane::cli {

void ConsoleUiThread::invoke(std::function<void()> fn) {
    std::mutex doneLock;
    std::condition_variable doneWake;
    bool done = false;
    post([&] {
        fn();
        const std::lock_guard lock(doneLock);
        done = true;
        doneWake.notify_one();
    });
    std::unique_lock lock(doneLock);
    doneWake.wait(lock, [&] { return done; });
}

void ConsoleUiThread::post(std::function<void()> fn) {
    const std::lock_guard lock(m_lock);
    m_queue.push_back(std::move(fn));
    m_wake.notify_one();
}

void ConsoleUiThread::processEvents(std::optional<std::chrono::milliseconds> wait) {
    std::unique_lock lock(m_lock);
    if (m_queue.empty()) {
        if (wait) {
            m_wake.wait_for(lock, *wait, [this] { return !m_queue.empty(); });
        } else {
            m_wake.wait(lock, [this] { return !m_queue.empty(); });
        }
    }
    // Only the calls queued so far: one queued while they run waits for the
    // next pass, as a window's loop handles it.
    std::deque<std::function<void()>> calls = std::exchange(m_queue, {});
    lock.unlock();
    for (std::function<void()>& call : calls) call();
}

}  // namespace mirvane::cli
