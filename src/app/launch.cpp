#include "app/launch.h"

#include <chrono>
#include <system_error>

#include "engine/platform/files.h"
#include "engine/platform/single_instance.h"
#include "engine/platform/user_folders.h"
#include "engine/window/texts.h"

namespace mirvane::app {

namespace {

// Long enough for a first copy that has just taken the lock to get its
// window up; short enough that a copy nobody answers never seems stuck.
constexpr std::chrono::milliseconds kHandOverTimeout{3000};

AppFilePlaces placeFiles(const Report& report) {
    AppFilePlaces places = PlaceAppFiles(platform::executablePath(), platform::userFolders(),
                                         {platform::isWritableFolder, platform::entryExists});
    if (!places.privateFolder.empty()) {
        if (const std::error_code error = platform::makePrivateFolder(places.privateFolder)) {
            // Conversions go on without the log, as they do when it cannot be written.
            report(Problem::Degraded, "Mirvane: the folder " + places.privateFolder + " cannot be made (" + error.message() +
                   "); no conversion log is kept.");
        }
    }
    return places;
}

}  // namespace

Launch launch(const std::vector<std::string>& files, const Report& report) {
    // The lock comes first: a second copy ends silently, display or not.
    const platform::InstanceCheck instance = platform::IsAlreadyRunning(texts::kAppName);
    if (!instance.failure.empty()) {
        report(Problem::Fatal, instance.failure);
        return {1, {}};
    }
    if (instance.alreadyRunning) {
        // A second copy stays silent whatever happens: a running copy that
        // does not answer in time (one that cannot listen, or one that has
        // just died) leaves the files unopened, as every second copy did
        // before the hand-over.
        if (!files.empty()) (void)platform::handOverFiles(texts::kAppName, files, kHandOverTimeout);
        return {0, {}};
    }
    return {std::nullopt, placeFiles(report)};
}

std::unique_ptr<platform::HandOverListener> listenForOtherCopies(platform::HandOverListener::Receiver receiver,
                                                                 const Report& report) {
    std::error_code error;
    std::unique_ptr<platform::HandOverListener> listener =
        platform::HandOverListener::start(texts::kAppName, std::move(receiver), error);
    if (!listener)
        report(Problem::Degraded, "Mirvane: files opened with another copy cannot be received (" + error.message() + ").");
    return listener;
}

}  // namespace mirvane::app
