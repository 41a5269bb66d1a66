// One copy per user: an exclusive flock on a file in a folder of the user's own.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <system_error>

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
// name there first. Copies meet at the same lock as long as they agree on
// the runtime folder, as the copies of one session do.
std::string lockFolderFrom(const char* runtimeFolder, const std::string& stateHome) {
    struct stat info {};
    if (runtimeFolder != nullptr && runtimeFolder[0] == '/' && ::lstat(runtimeFolder, &info) == 0 &&
        S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() && (info.st_mode & 022) == 0)
        return std::string(runtimeFolder) + "/mirvane";
    if (stateHome.empty()) return {};
    return stateHome + "/mirvane";
}

std::string userLockFolder() { return lockFolderFrom(std::getenv("XDG_RUNTIME_DIR"), userFolders().stateHome); }

}  // namespace posix

InstanceCheck IsAlreadyRunning(const std::string& name) {
    return posix::IsAlreadyRunningIn(posix::userLockFolder(), name);
}

}  // namespace mirvane::platform
