#pragma once
// How one encoder run ended: its result code and, for a failure, why.

#include <cstdint>
#include <string>

namespace mirvane {

inline constexpr int32_t kResultStartFailed = -1;
inline constexpr int32_t kResultNothingSeen = 0;
inline constexpr int32_t kResultDurationSeen = 1;
inline constexpr int32_t kResultCompleted = 2;
inline constexpr int32_t kResultStopped = 99;

struct JobResult {
    int32_t code = kResultNothingSeen;
    // The encoder's last line worth reading, or why it could not be started;
    // meaningful only when the code says the job failed.
    std::string reason;
};

}  // namespace mirvane
