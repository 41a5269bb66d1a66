// Plays ffmpeg for the pictures of the Windows program (scripts/screenshot-
// windows), where no Windows ffmpeg is to be had: it looks at its input as
// ffmpeg would. A missing input ends with ffmpeg's complaint and exit code 1;
// any other input counts as one second of video per byte, "converted" at ten
// times real speed with ffmpeg's Duration, progress and closing lines, into
// an empty output file made at the start.
//
//   demo_encoder -y -i INPUT ... OUTPUT

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

void say(const std::string& text) {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written,
              nullptr);
}

std::string utf8(const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size > 0 ? size - 1 : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), size, nullptr, nullptr);
    return out;
}

std::string clock(long long seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld.00", seconds / 3600, seconds / 60 % 60,
                  seconds % 60);
    return text;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::wstring input, output;
    for (int i = 1; i < argc; ++i) {
        if (std::wstring(argv[i]) == L"-i" && i + 1 < argc) input = argv[++i];
    }
    if (argc > 1) output = argv[argc - 1];
    say("ffmpeg version demo Copyright (c) the Mirvane developers\n");

    WIN32_FILE_ATTRIBUTE_DATA about{};
    if (input.empty() || !GetFileAttributesExW(input.c_str(), GetFileExInfoStandard, &about)) {
        say(utf8(input) + ": No such file or directory\n");
        return 1;
    }
    const long long seconds = about.nFileSizeLow;
    // The output exists from the start, as ffmpeg's does (Mirvane may have
    // made it already and hold it), and is not empty: an empty one is no
    // conversion.
    HANDLE file =
        CreateFileW(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, "demo", 4, &written, nullptr);
        CloseHandle(file);
    }
    say("Input #0, matroska,webm, from '" + utf8(input) + "':\n  Duration: " + clock(seconds) +
        ", start: 0.000000, bitrate: 2000 kb/s\n");
    for (long long second = 1; second <= seconds; ++second) {
        Sleep(100);
        char line[160];
        std::snprintf(line, sizeof line,
                      "frame=%5lld fps=250 q=28.0 size=%8lldkB time=%s bitrate=2000.0kbits/s speed=10x\r",
                      second * 25, second * 250, clock(second).c_str());
        say(line);
    }
    say("\nvideo:" + std::to_string(seconds * 250) + "kB audio:" + std::to_string(seconds * 16) +
        "kB subtitle:0kB other streams:0kB global headers:0kB muxing overhead: 0.5%\n");
    return 0;
}
