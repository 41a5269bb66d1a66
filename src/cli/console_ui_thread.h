#pragma once
// The UI thread of a program without a window: the main thread, running the
// calls the jobs' threads hand it from a queue while the batch waits.

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

#include "engine/desktop/ui_thread.h"

namespace mirvane::cli {

class ConsoleUiThread : public UiThread {
public:
    void invoke(std::function<void()> fn) override;
    void post(std::function<void()> fn) override;
    void processEvents(std::optional<std::chrono::milliseconds> wait) override;

private:
    std::mutex m_lock;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_queue;
};

}  // namespace mirvane::cli
