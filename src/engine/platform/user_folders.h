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

// Why the folder cannot be trusted with the user's files, in a sentence that
// names it; empty when it can. Another user who could change it, or what
// lies in it, could have the user's files written wherever that user
// chooses: it must be a real folder, not a link; on POSIX systems also the
// user's own, closed to others, in a folder no other user may change.
std::string privateFolderProblem(const std::string& path);

// The same for a portable copy's folder, which others may read (its files
// are the program's): a real folder, not a link, the user's own, that no
// other user may write in; on POSIX systems also in a folder no other user
// may change.
std::string ownFolderProblem(const std::string& path);

// The user's own folders for settings and for state kept between runs,
// without a trailing separator; empty when the system names none.
struct UserFolders {
    std::string configHome;
    std::string stateHome;
};

UserFolders userFolders();

}  // namespace mirvane::platform
