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

int childProcessCount() {
    const std::string self = std::to_string(::getpid());
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::ifstream stat(entry.path() / "stat");
        std::string pid, name, state, parent;
        // The name is in parentheses and may hold blanks; skip to its end.
        std::string line;
        if (!std::getline(stat, line)) continue;
        auto close = line.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream rest(line.substr(close + 2));
        rest >> state >> parent;
        if (parent == self) ++count;
    }
    return count;
}

}  // namespace mirvane::test
