#include <sys/resource.h>

#include "support/process_usage.h"

namespace mirvane::test {

namespace {

rusage selfUsage() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage;
}

}  // namespace

long long cpuMicroseconds() {
    const rusage usage = selfUsage();
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000000LL + usage.ru_utime.tv_usec +
           usage.ru_stime.tv_usec;
}

long long peakMemoryKilobytes() { return selfUsage().ru_maxrss; }

}  // namespace mirvane::test
