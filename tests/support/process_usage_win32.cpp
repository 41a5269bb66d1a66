#include <windows.h>

#include <psapi.h>

#include "support/process_usage.h"

namespace mirvane::test {

namespace {

long long ticks(const FILETIME& time) {
    return static_cast<long long>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
}

}  // namespace

// FILETIME counts hundreds of nanoseconds.
long long cpuMicroseconds() {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
    return (ticks(kernel) + ticks(user)) / 10;
}

long long peakMemoryKilobytes() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
    return static_cast<long long>(counters.PeakWorkingSetSize / 1024);
}

}  // namespace mirvane::test
