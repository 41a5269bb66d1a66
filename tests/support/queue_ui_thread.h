#pragma once
// A UI thread for engine tests: the test's own thread plays it and pumps the
// queue in processEvents; workers hand calls to it from their threads.

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

#include "engine/desktop/ui_thread.h"
#include "support/virtual_clock.h"

namespace mirvane::test {

class QueueUiThread : public UiThread {
public:
    void invoke(std::function<void()> fn) override;
    void post(std::function<void()> fn) override;
    void processEvents(std::optional<std::chrono::milliseconds> wait) override;

    // Runs on every pass, after the queued calls: the test's "user", which may
    // press buttons from inside the batch's waiting loop as a real user would.
    std::function<void()> onPass;
    // When set, a timed wait that no event cuts short passes on this clock,
    // at once, instead of in real time.
    VirtualClock* clock = nullptr;
    // How many times processEvents has been called.
    int passes() const { return m_passes; }

private:
    mutable std::mutex m_lock;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_queue;
    int m_passes = 0;  // UI thread only
};

}  // namespace mirvane::test
