// Plays the encoder's part in the Windows tests, as fake_encoder_posix.cpp
// does on POSIX systems: Wine cannot connect a Linux program's output to a
// Windows pipe, so the encoder under test must itself be a Windows program.
// Every argument of the form NAME or NAME:VALUE whose NAME is a step below is
// carried out in order; any other argument (ffmpeg options, file names) is
// ignored. Arguments are taken from the wide command line as the system
// splits it and handled as UTF-8. Exits 0 after the last step.
//
//   print:TEXT        TEXT to standard output in one write
//   stderr:TEXT       TEXT to standard error in one write
//                     (TEXT escapes: \n \r \0 and \xHH; other text is UTF-8)
//   sleep:MS          pause
//   exit:CODE         exit at once with CODE
//   crash             end as a crashed program does (an access violation's code)
//   hang              sleep forever, printing nothing
//   flood:BYTES[:LINE]  BYTES bytes of repeated progress lines (or of LINE)
//                     in large writes; BYTES may end in k, m or g
//   grandchild:MS[:PIDFILE]  start a copy of this program that inherits the
//                     output, writes its id to PIDFILE and sleeps MS
//   close-output      close standard output and standard error, go on
//   pidfile:PATH      write the own process id to PATH
//   progress:SECONDS:INTERVAL_MS  a Duration line, one time= line per second
//                     of input every INTERVAL_MS, then the closing summary
//   handles           "handles=N" (how many handles the process holds), then
//                     what standard input gives: "stdin=eof", "stdin=data"
//                     or "stdin=none", then "\n"
//   args              each argument after the program's own, followed by a
//                     NUL byte

#include <windows.h>

#include "support/handle_count_win32.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

std::string toUtf8(std::wstring_view text) {
    if (text.empty()) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr,
                        nullptr);
    return out;
}

std::wstring toWide(std::string_view text) {
    if (text.empty()) return {};
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
    return out;
}

void writeAll(DWORD which, std::string_view data) {
    const HANDLE handle = GetStdHandle(which);
    while (!data.empty()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(data.size(), 1 << 20));
        // Output closed or broken: the script goes on regardless.
        if (!WriteFile(handle, data.data(), chunk, &written, nullptr) || written == 0) return;
        data.remove_prefix(written);
    }
}

// Arguments cannot hold NUL bytes or bytes that are not UTF-8, hence the escapes.
std::string unescape(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 >= text.size()) {
            out += text[i];
            continue;
        }
        const char code = text[i + 1];
        if (code == 'n' || code == 'r' || code == '0') {
            out += code == 'n' ? '\n' : code == 'r' ? '\r' : '\0';
            ++i;
        } else if (code == 'x' && i + 3 < text.size()) {
            out += static_cast<char>(std::strtol(std::string(text.substr(i + 2, 2)).c_str(), nullptr, 16));
            i += 3;
        } else {
            out += text[i];
        }
    }
    return out;
}

long long number(std::string_view text) { return std::atoll(std::string(text).c_str()); }

std::string timestamp(long long seconds) {
    char text[48];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld.00", seconds / 3600, seconds / 60 % 60,
                  seconds % 60);
    return text;
}

std::string progressLine(long long frame, long long seconds) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "frame=%5lld fps=25 q=28.0 size=%8lldkB time=%s bitrate=2000.0kbits/s speed=1x\r", frame,
                  frame * 10, timestamp(seconds).c_str());
    return text;
}

void flood(std::string_view value) {
    const std::size_t colon = value.find(':');
    const std::string_view count = value.substr(0, colon);
    const std::size_t unitIndex =
        count.empty() ? std::string_view::npos : std::string_view("kmg").find(count.back());
    const std::size_t shift = unitIndex == std::string_view::npos ? 0 : unitIndex + 1;
    long long bytes = number(count) << (10 * shift);
    const std::string unit = colon == value.npos ? progressLine(100, 4) : unescape(value.substr(colon + 1));
    if (unit.empty()) return;
    std::string block;
    while (block.size() < (1 << 16)) block += unit;
    for (; bytes > 0; bytes -= static_cast<long long>(block.size())) {
        writeAll(STD_OUTPUT_HANDLE, std::string_view(block).substr(0, static_cast<std::size_t>(bytes)));
    }
}

void progress(std::string_view timing) {
    const std::size_t colon = timing.find(':');
    const long long seconds = number(timing.substr(0, colon));
    const long long interval = colon == timing.npos ? 0 : number(timing.substr(colon + 1));
    writeAll(STD_OUTPUT_HANDLE,
             "  Duration: " + timestamp(seconds) + ", start: 0.000000, bitrate: 100 kb/s\n");
    for (long long second = 1; second <= seconds; ++second) {
        Sleep(static_cast<DWORD>(interval));
        writeAll(STD_OUTPUT_HANDLE, progressLine(second * 25, second));
    }
    writeAll(STD_OUTPUT_HANDLE,
             "\nvideo:123kB audio:45kB subtitle:0kB other streams:0kB global headers:0kB "
             "muxing overhead: 1.0%\n");
}

void writePidFile(std::string_view path, DWORD pid) {
    // Renamed into place, so a reader never sees a half-written number.
    const std::wstring target = toWide(path);
    const std::wstring temporary = target + L".tmp";
    const HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    const std::string text = std::to_string(pid) + "\n";
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING);
}

void startGrandchild(std::string_view value) {
    const std::size_t colon = value.find(':');
    std::wstring commandLine = L"fake_encoder";
    if (colon != value.npos) commandLine += L" \"pidfile:" + toWide(value.substr(colon + 1)) + L"\"";
    commandLine += L" sleep:" + toWide(value.substr(0, colon));
    wchar_t self[32768];
    const DWORD length = GetModuleFileNameW(nullptr, self, 32768);
    if (length == 0 || length >= 32768) return;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    // Inherits every inheritable handle, the output pipe among them, as a
    // careless helper program of a real encoder would.
    if (CreateProcessW(self, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                       &startup, &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
}

void listHandles() {
    std::string text = "handles=" + std::to_string(mirvane::test::countOwnHandles()) + " ";
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    char byte;
    DWORD got = 0;
    if (input == nullptr || input == INVALID_HANDLE_VALUE) {
        text += "stdin=none";
    } else if (!ReadFile(input, &byte, 1, &got, nullptr) || got == 0) {
        text += "stdin=eof";
    } else {
        text += "stdin=data";
    }
    writeAll(STD_OUTPUT_HANDLE, text + "\n");
}

}  // namespace

int main() {
    int count = 0;
    wchar_t** wideArguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i) arguments.push_back(toUtf8(wideArguments[i]));
    LocalFree(wideArguments);

    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        const std::size_t colon = argument.find(':');
        const std::string_view name = argument.substr(0, colon);
        const std::string_view value = colon == argument.npos ? "" : argument.substr(colon + 1);
        if (name == "print") {
            writeAll(STD_OUTPUT_HANDLE, unescape(value));
        } else if (name == "stderr") {
            writeAll(STD_ERROR_HANDLE, unescape(value));
        } else if (name == "sleep") {
            Sleep(static_cast<DWORD>(number(value)));
        } else if (name == "exit") {
            ExitProcess(static_cast<UINT>(number(value)));
        } else if (name == "crash") {
            TerminateProcess(GetCurrentProcess(), 0xC0000005);
        } else if (name == "hang") {
            Sleep(INFINITE);
        } else if (name == "flood") {
            flood(value);
        } else if (name == "grandchild") {
            startGrandchild(value);
        } else if (name == "close-output") {
            CloseHandle(GetStdHandle(STD_OUTPUT_HANDLE));
            if (GetStdHandle(STD_ERROR_HANDLE) != GetStdHandle(STD_OUTPUT_HANDLE))
                CloseHandle(GetStdHandle(STD_ERROR_HANDLE));
        } else if (name == "pidfile") {
            writePidFile(value, GetCurrentProcessId());
        } else if (name == "progress") {
            progress(value);
        } else if (name == "handles") {
            listHandles();
        } else if (name == "args") {
            std::string text;
            for (std::size_t j = 1; j < arguments.size(); ++j) text += arguments[j] + '\0';
            writeAll(STD_OUTPUT_HANDLE, text);
        }
    }
    return 0;
}
