// Entry of Mirvane on Windows: one copy per user session, every argument an
// input file; a second copy hands its files to the first and ends.

#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <chrono>
#include <exception>
#include <string>
#include <vector>

#include "engine/jobs/app_paths.h"
#include "engine/platform/files.h"
#include "engine/platform/single_instance.h"
#include "engine/platform/win32/win32_internal.h"
#include "engine/window/texts.h"
#include "engine/batch/batch_flags.h"
#include "win32/main_window.h"
#include "win32/hand_over.h"
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

// Problems before the window exists, in a box of their own: a program
// without a console has nowhere else to say them.
int fail(const std::string& text) {
    MessageBoxW(nullptr, toWide(text).c_str(), toWide(mirvane::texts::kAppCaption).c_str(),
                MB_OK | MB_ICONERROR);
    return 1;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand) {
    const std::vector<std::string> files = commandLineFiles();
    const mirvane::platform::InstanceCheck instance =
        mirvane::platform::IsAlreadyRunning(mirvane::texts::kAppName);
    if (!instance.failure.empty()) return fail(instance.failure);
    if (instance.alreadyRunning) {
        if (files.empty()) return 0;
        const std::error_code error = mirvane::win32::HandOverFiles(files, std::chrono::seconds(10));
        if (error) return fail(std::string(mirvane::texts::kHandOverFailed) + "\n" + error.message());
        return 0;
    }

    const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                        ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    try {
        mirvane::BatchFlags flags;
        const mirvane::AppPaths paths =
            mirvane::AppPaths::fromExecutable(mirvane::platform::executablePath());
        mirvane::win32::MessageBoxes messages;
        mirvane::win32::MainWindow form(flags, paths, files, messages);
        form.show(showCommand);
        return form.run();
    } catch (const std::exception& error) {
        return fail(error.what());
    }
}
