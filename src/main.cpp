// Entry of Mirvane: one copy per user, every argument an input file.

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/app_paths.h"
#include "engine/platform/platform.h"
#include "engine/texts.h"
#include "engine/unit_state.h"
#include "ui/Unit1.h"
#include "ui/display_check.h"
#include "ui/message_boxes.h"

int main(int argc, char* argv[]) {
    // The lock comes first: a second copy ends silently, display or not.
    const mirvane::platform::InstanceCheck instance =
        mirvane::platform::IsAlreadyRunning(mirvane::texts::kAppName);
    if (!instance.failure.empty()) {
        std::fprintf(stderr, "%s\n", instance.failure.c_str());
        return 1;
    }
    if (instance.alreadyRunning) return 0;
    if (!mirvane::GraphicalSessionAvailable()) {
        std::fputs("Mirvane needs a graphical session (no display found).\n", stderr);
        return 1;
    }

    // The arguments' exact bytes: a name that is not valid UTF-8 must reach
    // the encoder as it was given.
    const std::vector<std::string> files(argv + 1, argv + argc);
    // Qt sees no arguments: every one is a file, even one that looks like a Qt option.
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    QApplication::setApplicationName(QString::fromUtf8(mirvane::texts::kAppName));

    mirvane::UnitState unit;
    const mirvane::AppPaths paths = mirvane::AppPaths::fromExecutable(mirvane::platform::executablePath());
    mirvane::MessageBoxes messages;
    mirvane::TForm1 form(unit, paths, files, messages);
    form.show();
    return app.exec();
}
