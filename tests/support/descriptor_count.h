#pragma once
// Counts of what a process holds, for leak checks. On Windows descriptors are
// handles, and a process's group is the process with that id and everything
// it started (the tree a job object holds).

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
