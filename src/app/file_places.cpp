#include "app/file_places.h"

#include "engine/jobs/paths.h"

namespace mirvane {

namespace {

// The user's folders hold one folder of the program's, named as the user's
// other programs name theirs: in lower case on POSIX systems, capitalised on
// Windows.
std::string ownFolder(const std::string& userFolder, PathStyle style) {
    return userFolder + pathSeparator(style) +
           (style == PathStyle::Windows ? "Mirvane" : "mirvane");
}

}  // namespace

AppFilePlaces PlaceAppFiles(const std::string& executablePath, const platform::UserFolders& user,
                            const FileSystemFacts& facts, PathStyle style) {
    AppFilePlaces places{AppPaths::fromExecutable(executablePath, style), {}};
    AppPaths& paths = places.paths;
    // Nothing beside the program says which kind of copy it is: the package
    // ships the settings and the encoder beside it as a portable copy has them.
    const char separator = pathSeparator(style);
    const bool writable = !facts.isInstalledFolder(paths.folder) && facts.isWritableFolder(paths.folder);
    std::string folder = paths.folder;
    // A drive's root ("D:\\") keeps its separator: "D:" is the drive's current folder.
    const bool driveRoot = style == PathStyle::Windows && folder.size() == 3 && folder[1] == ':';
    if (folder.size() > 1 && folder.back() == separator && !driveRoot) folder.pop_back();
    if (writable && facts.ownFolderProblem(folder).empty()) return places;
    if (writable && user.stateHome.empty()) {
        paths.logFile.clear();
        paths.scriptFile.clear();
        paths.journalFile.clear();
    }

    if (!user.configHome.empty()) {
        const std::string own = ownFolder(user.configHome, style) + separator + "MovieSet.ini";
        // A file the user made there is the user's choice even if it cannot
        // be read: the start-up check then names the problem rather than
        // quietly using the installed presets.
        if (facts.entryExists(own)) paths.settingsFile = own;
    }
    if (!user.stateHome.empty()) {
        places.privateFolder = ownFolder(user.stateHome, style);
        const std::string name = executablePath.substr(paths.folder.size());
        paths.logFile = places.privateFolder + separator + ChangeExtension(name, ".log", style);
        paths.scriptFile = places.privateFolder + separator + ChangeExtension(name, ".avs", style);
        paths.journalFile = places.privateFolder + separator + ChangeExtension(name, ".jobs", style);
    }
    return places;
}

}  // namespace mirvane
