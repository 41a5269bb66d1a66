#pragma once
// What this process has used so far, for tests that bound a cost.

namespace mirvane::test {

// Processor time spent by this process, user and system together.
long long cpuMicroseconds();
// The largest resident memory this process has had.
long long peakMemoryKilobytes();

}  // namespace mirvane::test
