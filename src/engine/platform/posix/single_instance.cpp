// One copy per user: an exclusive flock on a file in a folder of the user's own.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <system_error>
#include <vector>

#include "engine/platform/files.h"
#include "engine/platform/single_instance.h"
#include "engine/platform/posix/posix_internal.h"

namespace mirvane::platform {

namespace posix {

namespace {

InstanceCheck failed(const std::string& why) { return {false, "Cannot check for a running copy: " + why}; }

std::string systemText(int error) { return std::system_category().message(error); }

}  // namespace

InstanceCheck IsAlreadyRunningIn(const std::string& folder, const std::string& name) {
    if (folder.empty()) return failed("there is no folder of the user's to hold the lock.");
    if (!entryExists(folder)) {
        if (const std::error_code error = makePrivateFolder(folder))
            return failed("the folder " + folder + " cannot be made (" + error.message() + ").");
    }
    // The folder is examined through its own descriptor and the lock file
    // opened in it, so nothing can be swapped in between the check and the
    // use.
    std::string problem;
    const int dir = openFolderNoLink(folder, problem);
    if (dir < 0) return failed(problem);
    problem = folderProblem(dir, folder);
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

// The runtime folder is the session manager's folder for exactly this; the
// shared temporary folder is not used at all, since any user may make the
// name there first. A copy started without XDG_RUNTIME_DIR (a bare su, a
// script) still meets the session's copies at the usual runtime folder.
std::string lockFolderFrom(const std::vector<std::string>& runtimeFolders, const std::string& stateHome) {
    for (const std::string& runtime : runtimeFolders) {
        struct stat info {};
        if (!runtime.empty() && runtime.front() == '/' && ::lstat(runtime.c_str(), &info) == 0 &&
            S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() && (info.st_mode & 022) == 0)
            return runtime + "/mirvane";
    }
    if (stateHome.empty()) return {};
    return stateHome + "/mirvane";
}

std::string userLockFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return lockFolderFrom({runtime ? runtime : "", "/run/user/" + std::to_string(::geteuid())}, userFolders().stateHome);
}

}  // namespace posix

InstanceCheck IsAlreadyRunning(const std::string& name) {
    return posix::IsAlreadyRunningIn(posix::userLockFolder(), name);
}

}  // namespace mirvane::platform
