#include "engine/platform/console.h"

#include <windows.h>

#include <shellapi.h>

#include <algorithm>

#include "engine/platform/win32/wide_text.h"

namespace mirvane::platform {

namespace {

HANDLE handle(ConsoleStream stream) {
    return GetStdHandle(stream == ConsoleStream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

bool isConsole(HANDLE stream) {
    DWORD mode = 0;
    return stream != nullptr && stream != INVALID_HANDLE_VALUE && GetConsoleMode(stream, &mode) != 0;
}

}  // namespace

std::vector<std::string> programArguments(int, char**) {
    std::vector<std::string> arguments;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide) return arguments;
    for (int i = 1; i < count; ++i) arguments.push_back(win32::toUtf8(wide[i]));
    LocalFree(wide);
    return arguments;
}

bool isTerminal(ConsoleStream stream) {
    const HANDLE console = handle(stream);
    if (!isConsole(console)) return false;
    // The lines redrawn in place use the terminal's control sequences, which
    // a console before Windows 10 shows as text: such a console is given
    // plain lines instead.
    DWORD mode = 0;
    GetConsoleMode(console, &mode);
    return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ||
           SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

void writeConsole(ConsoleStream stream, std::string_view text) {
    const HANDLE output = handle(stream);
    if (isConsole(output)) {
        const std::wstring wide = win32::toWide(text);
        for (std::size_t done = 0; done < wide.size();) {
            DWORD written = 0;
            const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(wide.size() - done, 16384));
            if (!WriteConsoleW(output, wide.data() + done, piece, &written, nullptr) || written == 0) return;
            done += written;
        }
        return;
    }
    for (std::size_t done = 0; done < text.size();) {
        DWORD written = 0;
        const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(text.size() - done, 1 << 20));
        if (!WriteFile(output, text.data() + done, piece, &written, nullptr) || written == 0) return;
        done += written;
    }
}

}  // namespace mirvane::platform
