// Windows counterparts of the /proc counts: handles from the process itself,
// threads and processes from a Toolhelp snapshot.

#include <windows.h>

#include <tlhelp32.h>

#include <map>

#include "support/descriptor_count.h"
#include "support/handle_count_win32.h"

namespace mirvane::test {

namespace {

// Process id -> parent's id, of every process alive at the moment.
std::map<DWORD, DWORD> livingProcesses() {
    std::map<DWORD, DWORD> parents;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return parents;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
        parents[entry.th32ProcessID] = entry.th32ParentProcessID;
    CloseHandle(snapshot);
    return parents;
}

// When the process was made; 0 when it cannot be asked.
ULONGLONG createdAt(DWORD id) {
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
    if (process == nullptr) return 0;
    FILETIME created{}, exited{}, kernel{}, user{};
    const BOOL known = GetProcessTimes(process, &created, &exited, &kernel, &user);
    CloseHandle(process);
    return known ? (ULONGLONG{created.dwHighDateTime} << 32) | created.dwLowDateTime : 0;
}

// Whether the process descends from root (or is root). A parent that has
// ended still names its id in its children, so the chain holds across it;
// but the system gives an ended process's id to new ones (Wine at once), so
// a "parent" made after its child is another process and breaks the chain.
bool descendsFrom(const std::map<DWORD, DWORD>& parents, DWORD process, DWORD root) {
    for (int depth = 0; depth < 64; ++depth) {
        if (process == root) return true;
        const auto parent = parents.find(process);
        if (parent == parents.end() || parent->second == 0 || parent->second == process) return false;
        const ULONGLONG childMade = createdAt(process);
        const ULONGLONG parentMade = createdAt(parent->second);
        if (childMade != 0 && parentMade > childMade) return false;
        process = parent->second;
    }
    return false;
}

}  // namespace

int openDescriptorCount() { return countOwnHandles(); }

int threadCount() {
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    int count = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
    CloseHandle(snapshot);
    return count;
}

int childProcessCount() {
    int count = 0;
    for (const auto& [process, parent] : livingProcesses())
        if (parent == GetCurrentProcessId()) ++count;
    return count;
}

int livingProcessesInGroup(int group) { return static_cast<int>(livingProcessIdsInGroup(group).size()); }

std::vector<int> livingProcessIdsInGroup(int group) {
    const std::map<DWORD, DWORD> parents = livingProcesses();
    std::vector<int> ids;
    for (const auto& [process, parent] : parents)
        if (descendsFrom(parents, process, static_cast<DWORD>(group)))
            ids.push_back(static_cast<int>(process));
    return ids;
}

}  // namespace mirvane::test
