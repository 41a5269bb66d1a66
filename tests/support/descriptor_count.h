#pragma once
// Counts of what a process holds, for leak checks.

#include <vector>

namespace mirvane::test {

int openDescriptorCount();
int threadCount();
int childProcessCount();
// Processes of the group that are alive (zombies waiting to be reaped by
// whoever adopted them do not count).
int livingProcessesInGroup(int group);
std::vector<int> livingProcessIdsInGroup(int group);

}  // namespace mirvane::test
