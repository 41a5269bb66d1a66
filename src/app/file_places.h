#pragma once
// Where the program reads its settings and writes its log and script. A copy
// whose folder its user may write is a portable one and keeps everything
// beside itself, as AppPaths::fromExecutable says, unless that folder is the
// one the package installs it in, or one the user cannot trust (another
// user's, one others may write in, a link): what another user could put
// there (a journal naming the user's files, a log of theirs) must never be
// read or written as the user's. An installed copy (one in that folder, or
// where its user cannot write) reads the user's own settings when there are some, else
// the ones installed beside it, and writes into a state folder of the user's.

#include <functional>
#include <string>

#include "engine/jobs/app_paths.h"
#include "engine/jobs/paths.h"
#include "engine/platform/files.h"
#include "engine/platform/user_folders.h"

namespace mirvane {

struct AppFilePlaces {
    AppPaths paths;
    // The folder the log and the script are written into, when it is not the
    // program's own: it is to be made (closed to others) before they are.
    std::string privateFolder;
};

// What the rule needs to know of the system, asked only through these, so
// that tests can answer for any situation.
struct FileSystemFacts {
    std::function<bool(const std::string& folder)> isWritableFolder;
    std::function<bool(const std::string& path)> entryExists;
    // True for the folder (with its trailing separator) that the package
    // installs the program in: a copy there is installed for every user,
    // also for one who may write there.
    std::function<bool(const std::string& folder)> isInstalledFolder;
    // Why the folder (without its trailing separator) cannot be trusted with
    // the user's files as a portable copy's (platform::ownFolderProblem);
    // empty when it can.
    std::function<std::string(const std::string& folder)> ownFolderProblem;
};

// user holds the user's folders for settings and for state (either may be
// empty when the system names none: the program's folder is used instead,
// unless it cannot be trusted: then no log, script or journal is kept).
AppFilePlaces PlaceAppFiles(const std::string& executablePath, const platform::UserFolders& user,
                            const FileSystemFacts& facts, PathStyle style = kNativePathStyle);

}  // namespace mirvane
