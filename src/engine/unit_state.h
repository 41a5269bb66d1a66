#pragma once
// The program-wide variables shared by the window, the batch driver and the
// worker, in one place. The worker thread reads StopRequested and LogEnabled
// and writes ConvertResult while the UI thread runs, hence the atomics; the
// rest is touched on the UI thread only.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>

#include "engine/platform/platform.h"

namespace mirvane {

// Result codes of one encoder run.
inline constexpr int32_t kResultStartFailed = -1;
inline constexpr int32_t kResultNothingSeen = 0;
inline constexpr int32_t kResultDurationSeen = 1;
inline constexpr int32_t kResultCompleted = 2;
inline constexpr int32_t kResultStopped = 99;

struct UnitState {
    std::atomic<bool> StopRequested{false};
    std::atomic<bool> LogEnabled{true};
    std::atomic<int32_t> ConvertResult{kResultNothingSeen};
    bool ThreadDone = false;
    bool StartupFailed = false;
    int32_t LastPresetIndex = 0;
    // When the waiting loop first saw the current job's stop request.
    std::optional<std::chrono::steady_clock::time_point> CancelTick;
    // The encoder of the running job; the stop watchdog kills through it.
    platform::EncoderProcess ProcInfo;
};

}  // namespace mirvane
