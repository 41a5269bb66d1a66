// One copy per user: an exclusive flock on a file in a folder of the user's own.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <system_error>

#include "engine/platform/single_instance.h"
#include "engine/platform/posix/posix_internal.h"

namespace mirvane::platform {

namespace posix {

namespace {

InstanceCheck failed(const std::string& why) { return {false, "Cannot check for a running copy: " + why}; }

std::string systemText(int error) { return std::system_category().message(error); }

}  // namespace

InstanceCheck IsAlreadyRunningIn(const std::string& folder, const std::string& name) {
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        return failed("the folder " + folder + " cannot be made (" + systemText(errno) + ").");
    }
    // The folder is examined through its own descriptor and the lock file
    // opened in it, so nothing can be swapped in between the check and the
    // use. Anyone may have made it first in a folder all users share.
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dir < 0) {
        const int error = errno;
        if (error == ELOOP || error == ENOTDIR) {
            return failed(folder + " is not a folder but a link or a file (" + systemText(error) + ").");
        }
        return failed("the folder " + folder + " cannot be opened (" + systemText(error) + ").");
    }
    struct stat info {};
    std::string problem;
    if (::fstat(dir, &info) != 0) {
        problem = "the folder " + folder + " cannot be examined (" + systemText(errno) + ").";
    } else if (info.st_uid != ::geteuid()) {
        problem = "the folder " + folder + " belongs to another user (uid " + std::to_string(info.st_uid) +
                  "), not to this one (uid " + std::to_string(::geteuid()) + ").";
    } else if ((info.st_mode & 077) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
        problem = "the folder " + folder + " is open to other users (mode " + mode + ").";
    }
    if (!problem.empty()) {
        ::close(dir);
        return failed(problem);
    }

    const std::string lockName = name + ".lock";
    // The descriptor stays open (and locked) until the process ends; the
    // kernel drops the lock then, also after a crash or a kill.
    const int fd = ::openat(dir, lockName.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    const int openError = errno;
    ::close(dir);
    if (fd < 0) {
        return failed("the lock file " + folder + "/" + lockName + " cannot be opened (" +
                      systemText(openError) + ").");
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return {};
    const int lockError = errno;
    ::close(fd);
    if (lockError == EWOULDBLOCK) return {true, {}};
    return failed("the lock file " + folder + "/" + lockName + " cannot be locked (" + systemText(lockError) +
                  ").");
}

// One place per user whatever the environment says: copies started from
// different sessions, or with and without XDG_RUNTIME_DIR, must meet at the
// same lock. The temporary folder is shared by all users, so the folder is
// checked before it is trusted.
std::string userLockFolder() { return "/tmp/mirvane-" + std::to_string(::geteuid()); }

}  // namespace posix

InstanceCheck IsAlreadyRunning(const std::string& name) {
    return posix::IsAlreadyRunningIn(posix::userLockFolder(), name);
}

}  // namespace mirvane::platform
