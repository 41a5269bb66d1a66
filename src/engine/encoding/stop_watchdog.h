#pragma once
// Ends an encoder that does not stop by itself: once a stop has been seen,
// the encoder gets a grace time to end on its own, then it is killed, and the
// kill is repeated at a short pace until the job is over.

#include <chrono>
#include <functional>
#include <optional>

#include "engine/encoding/clock.h"

namespace mirvane {

inline constexpr std::chrono::milliseconds kStopGraceTime{2500};
inline constexpr std::chrono::milliseconds kKillRepeat{100};

class StopWatchdog {
public:
    // cancelTick holds when the current job's stop was first seen; empty
    // until then. The batch driver clears it for each new job.
    StopWatchdog(const Clock& clock, std::optional<Clock::time_point>& cancelTick)
        : m_clock(clock), m_cancelTick(cancelTick) {}

    // One pass of the waiting loop while a stop is requested: kills when it
    // is due, and returns how long the loop may sleep before the next pass.
    std::chrono::milliseconds pass(const std::function<void()>& kill);

private:
    const Clock& m_clock;
    std::optional<Clock::time_point>& m_cancelTick;
};

}  // namespace mirvane
