// Entry of Mirvane on Linux: one copy per user, every argument an input file.

#include <QApplication>
#include <QSocketNotifier>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/launch.h"
#include "engine/encoding/batch_flags.h"
#include "engine/platform/termination.h"
#include "engine/platform/user_language.h"
#include "engine/texts/texts.h"
#include "qt/display_check.h"
#include "qt/main_window.h"
#include "qt/message_boxes.h"

namespace {

// The name the desktop entry, the icon and the metadata are installed under;
// desktops match a running window to its entry by it.
constexpr const char* kDesktopId = "io.github.mirvane.Mirvane";

void reportOnTerminal(const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); }

}  // namespace

int main(int argc, char* argv[]) {
    // Every text from here on, a box at start among them, in the user's language.
    mirvane::texts::useLanguage(mirvane::platform::userLanguage());
    // The arguments' exact bytes: a name that is not valid UTF-8 must reach
    // the encoder as it was given.
    const std::vector<std::string> files(argv + 1, argv + argc);
    const mirvane::app::Launch launch = mirvane::app::launch(files, reportOnTerminal);
    if (launch.exitCode) return *launch.exitCode;
    // Qt aborts when no platform it tries starts: it is given only those that can.
    const std::string platforms = mirvane::UsablePlatforms();
    if (platforms.empty()) {
        std::fputs("Mirvane needs a graphical session (no display found).\n", stderr);
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", QByteArray::fromStdString(platforms));

    // Qt sees no arguments: every one is a file, even one that looks like a Qt option.
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    QApplication::setApplicationName(QString::fromUtf8(mirvane::texts::kAppName));
    QGuiApplication::setDesktopFileName(QString::fromUtf8(kDesktopId));

    mirvane::BatchFlags flags;
    mirvane::MessageBoxes messages;
    mirvane::MainWindow window(flags, launch.places.paths, files, messages);
    // Declared after the window, the listener stops before the window goes.
    const auto listener = mirvane::app::listenForOtherCopies(
        launch, [&window](std::vector<std::string> handed) { window.openHandedOverFiles(std::move(handed)); },
        reportOnTerminal);
    // A logout, a shutdown or a plain kill ends the program as a close would,
    // the batch stopped and its working files gone; the signal only wakes the loop.
    std::unique_ptr<QSocketNotifier> termination;
    if (const int requests = mirvane::platform::catchTerminationRequests(); requests >= 0) {
        termination = std::make_unique<QSocketNotifier>(requests, QSocketNotifier::Read);
        QObject::connect(termination.get(), &QSocketNotifier::activated, &window, [&window] {
            if (mirvane::platform::takeTerminationRequests()) window.terminationRequested();
        });
    }
    window.show();
    return app.exec();
}
