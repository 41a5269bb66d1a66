// The user's folders for settings and state, and the tests and calls a
// program installed where its user cannot write needs to find its way.

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "engine/platform/user_folders.h"
#include "engine/platform/posix/posix_internal.h"

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
