#include "engine/encoding/stop_watchdog.h"

namespace mirvane {

std::chrono::milliseconds StopWatchdog::pass(const std::function<void()>& kill) {
    const Clock::time_point now = m_clock.now();
    if (!m_cancelTick) m_cancelTick = now;
    const auto elapsed = now - *m_cancelTick;
    if (elapsed < kStopGraceTime)
        return std::chrono::ceil<std::chrono::milliseconds>(kStopGraceTime - elapsed);
    kill();
    return kKillRepeat;
}

}  // namespace mirvane
