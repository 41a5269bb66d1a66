#include "app/launch.h"

#include <chrono>
#include <system_error>

#include "app/absolute_names.h"
#include "engine/jobs/paths.h"
#include "engine/platform/files.h"
#include "engine/formats/hand_over_message.h"
#include "engine/platform/single_instance.h"
#include "engine/platform/user_folders.h"
#include "engine/texts/texts.h"

namespace mirvane::app {

namespace {

// Long enough for a first copy that has just taken the lock to get its
// window up; short enough that a copy nobody answers never seems stuck.
constexpr std::chrono::milliseconds kHandOverTimeout{3000};

// The folder the package installs the program in (empty where there is no
// package): a copy there is installed for every user, root included, even
// though root may write there.
constexpr const char* kInstalledFolder = MIRVANE_INSTALLED_FOLDER;

bool isInstalledFolder(const std::string& folder) { return !folder.empty() && folder == kInstalledFolder; }

void keepNoFiles(AppPaths& paths) {
    paths.logFile.clear();
    paths.scriptFile.clear();
    paths.journalFile.clear();
}

// Two copies writing one log, one script or one journal would mix their
// lines, convert each other's files and remove each other's working files:
// a copy that cannot hold the lock beside them keeps none.
std::shared_ptr<const platform::HeldLock> lockFiles(AppPaths& paths, const Report& report) {
    if (paths.journalFile.empty()) return nullptr;
    // Not "<program>.lock": without a runtime folder the instance lock is that
    // very file in the same folder, and a second lock of it would fail.
    const std::string lockFile = paths.journalFile + ".lock";
    std::error_code error;
    auto lock = std::make_shared<platform::HeldLock>(platform::HeldLock::take(lockFile, error));
    if (lock->isHeld()) return lock;
    const std::string why = error == std::errc::resource_unavailable_try_again
                                ? "another copy of Mirvane holds " + lockFile
                                : "the lock " + lockFile + " cannot be taken (" + error.message() + ")";
    report("Mirvane: " + why + "; no conversion log, AviSynth script or list for the next start is kept.");
    keepNoFiles(paths);
    return nullptr;
}

AppFilePlaces placeFiles(const Report& report) {
    AppFilePlaces places = PlaceAppFiles(
        platform::executablePath(), platform::userFolders(),
        {platform::isWritableFolder, platform::entryExists, isInstalledFolder, platform::ownFolderProblem});
    if (places.privateFolder.empty()) return places;
    std::string problem;
    if (const std::error_code error = platform::makePrivateFolder(places.privateFolder)) {
        problem = "the folder " + places.privateFolder + " cannot be made (" + error.message() + ")";
    } else {
        problem = platform::privateFolderProblem(places.privateFolder);
        if (!problem.empty() && problem.back() == '.') problem.pop_back();
    }
    if (!problem.empty()) {
        // Nothing of the user's is written where it could be read, replaced
        // or redirected: conversions go on as they do when the log cannot
        // be written, DirectShow conversions fail for want of their script.
        report("Mirvane: " + problem +
               "; no conversion log, AviSynth script or list for the next start is kept.");
        keepNoFiles(places.paths);
    }
    return places;
}

// The running copy was started in another folder: a relative name means
// what it means here. Without a folder of its own (it was removed) a
// relative name names nothing this copy could find again, nor does a name
// longer than the system opens; the running copy would refuse the list.
std::vector<std::string> absoluteNames(const std::vector<std::string>& files) {
    const std::string folder = platform::currentFolder();
    std::vector<std::string> names;
    for (const std::string& file : files) {
        std::string name = MakeAbsolute(file, folder);
        if ((!folder.empty() || name == file) && FitsSystemPath(name, kNativePathStyle))
            names.push_back(std::move(name));
    }
    return names;
}

}  // namespace

Launch launch(const std::vector<std::string>& files, const Report& report) {
    // The lock comes first: a second copy ends silently, display or not.
    const platform::InstanceCheck instance = platform::IsAlreadyRunning(texts::kAppName);
    if (instance.alreadyRunning) {
        // A second copy stays silent whatever happens: a running copy that
        // does not answer in time (one that cannot listen, or one that has
        // just died) leaves the files unopened, as every second copy did
        // before the hand-over.
        if (!files.empty())
            (void)platform::handOverFiles(texts::kAppName, absoluteNames(files), kHandOverTimeout);
        return {0, {}, false, nullptr};
    }
    // Whatever keeps the lock from being taken (another user may have made
    // its place first) must not keep the user from converting.
    if (!instance.failure.empty())
        report("Mirvane: " + instance.failure +
               " This copy starts without receiving files from later copies.");
    AppFilePlaces places = placeFiles(report);
    std::shared_ptr<const platform::HeldLock> filesLock = lockFiles(places.paths, report);
    return {std::nullopt, std::move(places), instance.failure.empty(), std::move(filesLock)};
}

ConsoleLaunch launchWithoutWindow(const Report& report) {
    AppFilePlaces places = placeFiles(report);
    std::shared_ptr<const platform::HeldLock> filesLock = lockFiles(places.paths, report);
    return {std::move(places), std::move(filesLock)};
}

std::unique_ptr<platform::HandOverListener> listenForOtherCopies(
    const Launch& launched, platform::HandOverListener::Receiver receiver, const Report& report) {
    // Only the lock's holder may take the hand-over's place: another copy
    // may hold the lock and listen there.
    if (!launched.holdsLock) return nullptr;
    std::error_code error;
    std::unique_ptr<platform::HandOverListener> listener =
        platform::HandOverListener::start(texts::kAppName, std::move(receiver), error);
    if (!listener)
        report("Mirvane: files opened with another copy cannot be received (" + error.message() + ").");
    return listener;
}

}  // namespace mirvane::app
