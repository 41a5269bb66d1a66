#include "app/file_places.h"

#include "engine/jobs/paths.h"

namespace mirvane {

namespace {

// The user's folders hold one folder of the program's, named in lower case
// as the user's other programs name theirs.
constexpr const char* kOwnFolder = "/mirvane";

}  // namespace

AppFilePlaces PlaceAppFiles(const std::string& executablePath, const platform::UserFolders& user,
                            const FileSystemFacts& facts) {
    AppFilePlaces places{AppPaths::fromExecutable(executablePath, PathStyle::Posix), {}};
    AppPaths& paths = places.paths;
    if (facts.isWritableFolder(paths.folder)) return places;

    if (!user.configHome.empty()) {
        const std::string own = user.configHome + kOwnFolder + "/MovieSet.ini";
        // A file the user made there is the user's choice even if it cannot
        // be read: the start-up check then names the problem rather than
        // quietly using the installed presets.
        if (facts.entryExists(own)) paths.settingsFile = own;
    }
    if (!user.stateHome.empty()) {
        places.privateFolder = user.stateHome + kOwnFolder;
        const std::string name = executablePath.substr(paths.folder.size());
        paths.logFile = places.privateFolder + "/" + ChangeExtension(name, ".log", PathStyle::Posix);
        paths.scriptFile = places.privateFolder + "/" + ChangeExtension(name, ".avs", PathStyle::Posix);
    }
    return places;
}

}  // namespace mirvane
