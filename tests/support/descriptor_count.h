#pragma once
// Counts of what a process holds, for leak checks.

namespace mirvane::test {

int openDescriptorCount();
int threadCount();
int childProcessCount();
// Processes of the group that are alive (zombies waiting to be reaped by
// whoever adopted them do not count).
int livingProcessesInGroup(int group);

}  // namespace mirvane::test
