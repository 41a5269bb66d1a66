#include "support/descriptor_count.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace mirvane::test {

namespace {

int entriesIn(const std::filesystem::path& folder) {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++count;
    return count;
}

}  // namespace

int openDescriptorCount() {
    // The iterator's own descriptor is counted every time, so counts compare.
    return entriesIn("/proc/self/fd");
}

int threadCount() { return entriesIn("/proc/self/task"); }

namespace {

struct ProcessStat {
    char state = '?';
    int parent = 0;
    int group = 0;
};

template <typename Predicate>
int countProcesses(Predicate predicate) {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        if (!std::getline(stat, line)) continue;
        // The name is in parentheses and may hold blanks; read after it.
        auto close = line.rfind(')');
        if (close == std::string::npos) continue;
        ProcessStat process;
        std::istringstream(line.substr(close + 2)) >> process.state >> process.parent >> process.group;
        if (predicate(process)) ++count;
    }
    return count;
}

}  // namespace

int childProcessCount() {
    const int self = ::getpid();
    return countProcesses([self](const ProcessStat& p) { return p.parent == self; });
}

int livingProcessesInGroup(int group) {
    return countProcesses([group](const ProcessStat& p) { return p.group == group && p.state != 'Z'; });
}

}  // namespace mirvane::test
