#pragma once
// The two flags the UI thread sets and the running job reads: whether the
// batch is to stop and whether jobs are logged. Everything else a job needs
// is handed to it when it starts, and its result comes back to its end
// handler.

#include <atomic>

namespace mirvane {

struct BatchFlags {
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> logEnabled{true};
};

}  // namespace mirvane
