// Plays the encoder's part in the Windows tests, as fake_encoder_posix.cpp
// does on POSIX systems: Wine cannot connect a Linux program's output to a
// Windows pipe, so the encoder under test must itself be a Windows program.
// Every argument of the form NAME or NAME:VALUE whose NAME is a step below is
// carried out in order; any other argument (ffmpeg options, file names) is
// ignored. Arguments are taken from the wide command line as the system
// splits it and handled as UTF-8. Exits 0 after the last step. The steps both
// systems share are read in fake_encoder_script.cpp; this file does what needs
// the system.
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
//   background:MS:PIDFILE  start a copy of this program that inherits no
//                     handle, writes its id to PIDFILE and sleeps MS
//   close-output      close standard output and standard error, go on
//   pidfile:PATH      write the own process id to PATH
//   progress:SECONDS:INTERVAL_MS  an input header with its Duration, one time= line per second
//                     of input every INTERVAL_MS, then the closing summary
//   handles           "handles=N" (how many handles the process holds), then
//                     what standard input gives: "stdin=eof", "stdin=data"
//                     or "stdin=none", then "\n"
//   args              each argument after the program's own, followed by a
//                     NUL byte

#include <windows.h>

#include "support/handle_count_win32.h"
#include "tools/fake_encoder_script.h"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using mirvane::test::Stream;

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

class Win32Host final : public mirvane::test::ScriptHost {
public:
    explicit Win32Host(const std::vector<std::string>& arguments) : m_arguments(arguments) {}

    void write(Stream stream, std::string_view data) override {
        writeAll(stream == Stream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE, data);
    }

    void sleepMs(long long ms) override { Sleep(static_cast<DWORD>(ms)); }

    void exitNow(long long code) override { ExitProcess(static_cast<UINT>(code)); }

    // Windows has no signals to die of; the value is passed over.
    void crash(long long) override { TerminateProcess(GetCurrentProcess(), 0xC0000005); }

    void hang() override { Sleep(INFINITE); }

    void closeOutput() override {
        CloseHandle(GetStdHandle(STD_OUTPUT_HANDLE));
        if (GetStdHandle(STD_ERROR_HANDLE) != GetStdHandle(STD_OUTPUT_HANDLE))
            CloseHandle(GetStdHandle(STD_ERROR_HANDLE));
    }

    void startGrandchild(long long sleepMs, std::optional<std::string_view> pidFile,
                         bool holdsOutput) override {
        std::wstring commandLine = L"fake_encoder";
        if (pidFile) commandLine += L" \"pidfile:" + toWide(*pidFile) + L"\"";
        commandLine += L" sleep:" + std::to_wstring(sleepMs);
        wchar_t self[32768];
        const DWORD length = GetModuleFileNameW(nullptr, self, 32768);
        if (length == 0 || length >= 32768) return;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        if (holdsOutput) {
            startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
            startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
            startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        }
        PROCESS_INFORMATION process{};
        // Holding the output, it inherits every inheritable handle, the pipe
        // among them, as a careless helper program of a real encoder would.
        if (CreateProcessW(self, commandLine.data(), nullptr, nullptr, holdsOutput, CREATE_NO_WINDOW, nullptr,
                           nullptr, &startup, &process)) {
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
        }
    }

    void writePidFile(std::string_view path) override {
        // Renamed into place, so a reader never sees a half-written number.
        const std::wstring target = toWide(path);
        const std::wstring temporary = target + L".tmp";
        const HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return;
        const std::string text = std::to_string(GetCurrentProcessId()) + "\n";
        DWORD written = 0;
        WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        CloseHandle(file);
        MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING);
    }

    bool runOwnStep(std::string_view name, std::string_view) override {
        if (name == "handles") {
            listHandles();
        } else if (name == "args") {
            std::string text;
            for (const std::string& argument : m_arguments) text += argument + '\0';
            writeAll(STD_OUTPUT_HANDLE, text);
        } else {
            return false;
        }
        return true;
    }

private:
    const std::vector<std::string>& m_arguments;
};

}  // namespace

int main() {
    int count = 0;
    wchar_t** wideArguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 1; i < count; ++i) arguments.push_back(toUtf8(wideArguments[i]));
    LocalFree(wideArguments);

    Win32Host host(arguments);
    mirvane::test::runScript(arguments, host);
    return 0;
}
