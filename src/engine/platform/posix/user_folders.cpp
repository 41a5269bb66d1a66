// The user's folders for settings and state, and the tests and calls a
// program installed where its user cannot write needs to find its way.

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "engine/platform/posix/posix_internal.h"
#include "engine/platform/user_folders.h"

namespace mirvane::platform {

using posix::lastError;

bool isWritableFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           ::faccessat(AT_FDCWD, path.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

std::error_code makePrivateFolder(const std::string& path) {
    if (path.empty()) return {ENOENT, std::system_category()};
    // Each folder on the way down, so that a missing parent is made too and
    // every folder made here is the user's alone.
    for (std::size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
        const std::string folder = path.substr(0, end);
        if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return lastError();
        if (end == std::string::npos) break;
    }
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return lastError();
    if (!S_ISDIR(info.st_mode)) return {ENOTDIR, std::system_category()};
    return {};
}

namespace posix {

namespace {

std::string systemText(int error) { return std::system_category().message(error); }

std::string modeText(mode_t mode) {
    char text[8];
    std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
    return text;
}

}  // namespace

int openFolderNoLink(const std::string& folder, std::string& problem) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) return fd;
    const int error = errno;
    if (error == ELOOP || error == ENOTDIR) {
        problem = folder + " is not a folder but a link or a file (" + systemText(error) + ").";
    } else {
        problem = "the folder " + folder + " cannot be opened (" + systemText(error) + ").";
    }
    return -1;
}

// The folder above counts too: whoever may rename entries in it could put
// a link of theirs in this folder's place once it has been checked. A
// sticky folder (/tmp) lets only an entry's owner rename it.
std::string folderProblem(int fd, const std::string& folder, bool othersMayRead) {
    struct stat info {};
    struct stat above {};
    const uid_t user = ::geteuid();
    if (::fstat(fd, &info) != 0 || ::fstatat(fd, "..", &above, 0) != 0)
        return "the folder " + folder + " cannot be examined (" + systemText(errno) + ").";
    if (info.st_uid != user)
        return "the folder " + folder + " belongs to another user (uid " + std::to_string(info.st_uid) +
               "), not to this one (uid " + std::to_string(user) + ").";
    if ((info.st_mode & (othersMayRead ? 022 : 077)) != 0)
        return "the folder " + folder + " is open to other users (mode " + modeText(info.st_mode) + ").";
    if (above.st_uid != user && above.st_uid != 0)
        return "the folder " + folder + " lies in a folder of another user (uid " +
               std::to_string(above.st_uid) + ").";
    if ((above.st_mode & 022) != 0 && (above.st_mode & S_ISVTX) == 0)
        return "the folder " + folder + " lies in a folder other users may write in (mode " +
               modeText(above.st_mode) + ").";
    return {};
}

namespace {

// A variable that names a folder counts only when it is an absolute path;
// a relative one would depend on the folder the program was started from.
std::string absoluteFolder(const char* value) {
    if (value == nullptr || value[0] != '/') return {};
    std::string folder(value);
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

}  // namespace

UserFolders userFoldersFrom(const char* configHome, const char* stateHome, const char* home) {
    const std::string homeFolder = absoluteFolder(home);
    UserFolders folders{absoluteFolder(configHome), absoluteFolder(stateHome)};
    if (folders.configHome.empty() && !homeFolder.empty()) folders.configHome = homeFolder + "/.config";
    if (folders.stateHome.empty() && !homeFolder.empty()) folders.stateHome = homeFolder + "/.local/state";
    return folders;
}

}  // namespace posix

std::string privateFolderProblem(const std::string& path) {
    std::string problem;
    const int fd = posix::openFolderNoLink(path, problem);
    if (fd < 0) return problem;
    problem = posix::folderProblem(fd, path);
    ::close(fd);
    return problem;
}

std::string ownFolderProblem(const std::string& path) {
    std::string problem;
    const int fd = posix::openFolderNoLink(path, problem);
    if (fd < 0) return problem;
    problem = posix::folderProblem(fd, path, true);
    ::close(fd);
    return problem;
}

// A session may run without HOME (a service, a bare su): the account's home
// folder stands in for it.
UserFolders userFolders() {
    const char* home = std::getenv("HOME");
    std::string accountHome;
    if (home == nullptr || home[0] != '/') {
        long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
        std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
        struct passwd entry {};
        struct passwd* found = nullptr;
        if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
            found->pw_dir)
            accountHome = found->pw_dir;
        home = accountHome.c_str();
    }
    return posix::userFoldersFrom(std::getenv("XDG_CONFIG_HOME"), std::getenv("XDG_STATE_HOME"), home);
}

}  // namespace mirvane::platform
