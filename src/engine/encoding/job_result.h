#pragma once
// How one encoder run ended: its result code and, for a failure, why.

#include <cstdint>
#include <string>

namespace mirvane {

inline constexpr int32_t kResultStartFailed = -1;
// A run that failed, however far the encoder got (its input's length read
// or not): the row shows an error with the reason either way.
inline constexpr int32_t kResultFailed = 0;
inline constexpr int32_t kResultCompleted = 2;
inline constexpr int32_t kResultStopped = 99;

struct JobResult {
    int32_t code = kResultFailed;
    // The encoder's last line worth reading, or why it could not be started;
    // meaningful only when the code says the job failed.
    std::string reason;
};

}  // namespace mirvane
