#pragma once
// Counts of what a process holds, for leak checks.

namespace mirvane::test {

int openDescriptorCount();
int threadCount();
int childProcessCount();

}  // namespace mirvane::test
