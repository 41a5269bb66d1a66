// Entry of Mirvane on Windows: one copy per user session, every argument an
// input file; a second copy hands its files to the first and ends.

#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <exception>
#include <string>
#include <vector>

#include "app/launch.h"
#include "engine/encoding/batch_flags.h"
#include "engine/platform/user_language.h"
#include "engine/platform/win32/wide_text.h"
#include "engine/texts/texts.h"
#include "win32/main_window.h"
#include "win32/message_boxes.h"

namespace {

using mirvane::platform::win32::toUtf8;
using mirvane::platform::win32::toWide;

// The arguments as the system splits the wide command line, in UTF-8: any
// name, also one outside the ANSI code page, reaches the engine whole.
std::vector<std::string> commandLineFiles() {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> files;
    if (!arguments) return files;
    for (int i = 1; i < count; ++i) files.push_back(toUtf8(arguments[i]));
    LocalFree(arguments);
    return files;
}

// A program without a console says a problem it starts with anyway to the
// debugger's output, as a box at every start would only be in the way; one
// it cannot start with, in a box of its own.
void report(const std::string& text) { OutputDebugStringW((toWide(text) + L"\n").c_str()); }

void reportFatal(const std::string& text) {
    MessageBoxW(nullptr, toWide(text).c_str(), toWide(mirvane::texts::kAppCaption).c_str(),
                MB_OK | MB_ICONERROR);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand) {
    // Every text from here on, a box at start among them, in the user's language.
    mirvane::texts::useLanguage(mirvane::platform::userLanguage());
    const std::vector<std::string> files = commandLineFiles();
    const mirvane::app::Launch launch = mirvane::app::launch(files, report);
    if (launch.exitCode) return *launch.exitCode;

    const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                        ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    try {
        mirvane::BatchFlags flags;
        mirvane::win32::MessageBoxes messages;
        mirvane::win32::MainWindow window(flags, launch.places.paths, files, messages);
        // Declared after the window, the listener stops before the window goes.
        const auto listener = mirvane::app::listenForOtherCopies(
            launch,
            [&window](std::vector<std::string> handed) { window.openHandedOverFiles(std::move(handed)); },
            report);
        window.show(showCommand);
        return window.run();
    } catch (const std::exception& error) {
        reportFatal(error.what());
        return 1;
    }
}
