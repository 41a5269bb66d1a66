// Entry of Mirvane: one copy per user, every argument an input file.

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "app/file_places.h"
#include "engine/platform/files.h"
#include "engine/platform/hand_over.h"
#include "engine/platform/single_instance.h"
#include "engine/platform/user_folders.h"
#include "engine/window/texts.h"
#include "engine/batch/batch_flags.h"
#include "qt/main_window.h"
#include "qt/display_check.h"
#include "qt/message_boxes.h"

namespace {

// The name the desktop entry, the icon and the metadata are installed under;
// desktops match a running window to its entry by it.
constexpr const char* kDesktopId = "io.github.mirvane.Mirvane";

// Long enough for a first copy that has just taken the lock to get its
// window up; short enough that a copy nobody answers never seems stuck.
constexpr std::chrono::milliseconds kHandOverTimeout{3000};

mirvane::AppFilePlaces placeFiles() {
    const std::string executable = mirvane::platform::executablePath();
    mirvane::AppFilePlaces places =
        mirvane::PlaceAppFiles(executable, mirvane::platform::userFolders(),
                               {mirvane::platform::isWritableFolder, mirvane::platform::entryExists});
    if (!places.privateFolder.empty()) {
        if (const std::error_code error = mirvane::platform::makePrivateFolder(places.privateFolder)) {
            // Conversions go on without the log, as they do when it cannot be written.
            std::fprintf(stderr, "Mirvane: the folder %s cannot be made (%s); no conversion log is kept.\n",
                         places.privateFolder.c_str(), error.message().c_str());
        }
    }
    return places;
}

}  // namespace

int main(int argc, char* argv[]) {
    // The lock comes first: a second copy ends silently, display or not.
    const mirvane::platform::InstanceCheck instance =
        mirvane::platform::IsAlreadyRunning(mirvane::texts::kAppName);
    if (!instance.failure.empty()) {
        std::fprintf(stderr, "%s\n", instance.failure.c_str());
        return 1;
    }
    // The arguments' exact bytes: a name that is not valid UTF-8 must reach
    // the encoder as it was given.
    const std::vector<std::string> files(argv + 1, argv + argc);
    if (instance.alreadyRunning) {
        // A second copy has no window to say anything in, so it stays silent
        // whatever happens: a running copy that does not answer in time (one
        // that cannot listen, a socket left by a copy that died) leaves the
        // files unopened, as every second copy did before the hand-over.
        if (!files.empty())
            (void)mirvane::platform::handOverFiles(mirvane::texts::kAppName, files, kHandOverTimeout);
        return 0;
    }
    if (!mirvane::GraphicalSessionAvailable()) {
        std::fputs("Mirvane needs a graphical session (no display found).\n", stderr);
        return 1;
    }

    // Qt sees no arguments: every one is a file, even one that looks like a Qt option.
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    QApplication::setApplicationName(QString::fromUtf8(mirvane::texts::kAppName));
    QGuiApplication::setDesktopFileName(QString::fromUtf8(kDesktopId));

    mirvane::BatchFlags flags;
    const mirvane::AppFilePlaces places = placeFiles();
    mirvane::MessageBoxes messages;
    mirvane::MainWindow form(flags, places.paths, files, messages);
    // Started once the window exists, so that every list has a window to go
    // to; copies started meanwhile keep trying until it listens. Declared
    // after the window, it stops before the window goes.
    std::error_code listenError;
    const std::unique_ptr<mirvane::platform::HandOverListener> listener =
        mirvane::platform::HandOverListener::start(
            mirvane::texts::kAppName,
            [&form](std::vector<std::string> handed) { form.openHandedOverFiles(std::move(handed)); },
            listenError);
    if (!listener) {
        std::fprintf(stderr, "Mirvane: files opened with another copy cannot be received (%s).\n",
                     listenError.message().c_str());
    }
    form.show();
    return app.exec();
}
