#include "support/descriptor_count.h"

#include <unistd.h>

#include <cstdlib>
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
    int id = 0;
    char state = '?';
    int parent = 0;
    int group = 0;
};

template <typename Predicate>
std::vector<int> findProcesses(Predicate predicate) {
    std::vector<int> found;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        if (!std::getline(stat, line)) continue;
        // The name is in parentheses and may hold blanks; read after it.
        auto close = line.rfind(')');
        if (close == std::string::npos) continue;
        ProcessStat process;
        process.id = std::atoi(line.c_str());
        std::istringstream(line.substr(close + 2)) >> process.state >> process.parent >> process.group;
        if (predicate(process)) found.push_back(process.id);
    }
    return found;
}

template <typename Predicate>
int countProcesses(Predicate predicate) {
    return static_cast<int>(findProcesses(predicate).size());
}

}  // namespace

int childProcessCount() {
    const int self = ::getpid();
    return countProcesses([self](const ProcessStat& p) { return p.parent == self; });
}

int livingProcessesInGroup(int group) { return static_cast<int>(livingProcessIdsInGroup(group).size()); }

std::vector<int> livingProcessIdsInGroup(int group) {
    return findProcesses([group](const ProcessStat& p) { return p.group == group && p.state != 'Z'; });
}

}  // namespace mirvane::test
