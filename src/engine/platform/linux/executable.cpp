// Where the running program lies: Linux names it in /proc.

#include <cstdlib>

#include "engine/platform/files.h"

namespace mirvane::platform {

std::string executablePath() {
    char* resolved = ::realpath("/proc/self/exe", nullptr);
    if (resolved == nullptr) return {};
    std::string path(resolved);
    std::free(resolved);
    return path;
}

}  // namespace mirvane::platform
