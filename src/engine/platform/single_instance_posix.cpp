#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "engine/platform/platform.h"

namespace mirvane::platform {

namespace {

std::string lockFolder() {
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) return runtime;
    // Without a runtime folder the temp folder is shared by all users, so a
    // folder of the user's own keeps the lock per user.
    std::string folder = "/tmp/mirvane-" + std::to_string(getuid());
    ::mkdir(folder.c_str(), 0700);
    return folder;
}

}  // namespace

bool IsAlreadyRunning(const std::string& name) {
    std::string path = lockFolder() + "/" + name + ".lock";
    // The descriptor stays open (and locked) until the process ends; the
    // kernel drops the lock then, also after a crash or a kill.
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return false;  // no lock to be had: better a second copy than none
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return false;
    ::close(fd);
    return true;
}

}  // namespace mirvane::platform
