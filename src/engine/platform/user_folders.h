#pragma once
// The folders a program keeps its files in: the user's own, and the tests
// and calls that go with them.

#include <string>
#include <system_error>

namespace mirvane::platform {

// True for a folder (links followed) in which this process may make and
// delete entries.
bool isWritableFolder(const std::string& path);

// Makes the folder and every missing folder above it, each closed to other
// users; an existing folder is left as it is.
std::error_code makePrivateFolder(const std::string& path);

// The user's own folders for settings and for state kept between runs,
// without a trailing separator; empty when the system names none.
struct UserFolders {
    std::string configHome;
    std::string stateHome;
};

UserFolders userFolders();

}  // namespace mirvane::platform
