#include "tools/fake_encoder_script.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace mirvane::test {

namespace {

void flood(std::string_view value, ScriptHost& host) {
    const std::size_t colon = value.find(':');
    long long bytes = byteCount(value.substr(0, colon));
    const std::string unit = colon == value.npos ? progressLine(100, 4) : unescape(value.substr(colon + 1));
    if (unit.empty()) return;
    // Large writes, as an encoder's output arrives when the reader falls behind.
    std::string block;
    while (block.size() < (1 << 16)) block += unit;
    for (; bytes > 0; bytes -= static_cast<long long>(block.size())) {
        host.write(Stream::Output, std::string_view(block).substr(0, static_cast<std::size_t>(bytes)));
    }
}

void progress(std::string_view timing, ScriptHost& host) {
    const std::size_t colon = timing.find(':');
    const long long seconds = number(timing.substr(0, colon));
    const long long interval = colon == timing.npos ? 0 : number(timing.substr(colon + 1));
    host.write(Stream::Output, "Input #0, lavfi, from 'fake':\n  Duration: " + timestamp(seconds) +
                                   ", start: 0.000000, bitrate: 100 kb/s\n");
    for (long long second = 1; second <= seconds; ++second) {
        host.sleepMs(interval);
        host.write(Stream::Output, progressLine(second * 25, second));
    }
    host.write(Stream::Output,
               "\nvideo:123kB audio:45kB subtitle:0kB other streams:0kB global headers:0kB "
               "muxing overhead: 1.0%\n");
}

void startGrandchild(std::string_view value, bool holdsOutput, ScriptHost& host) {
    const std::size_t colon = value.find(':');
    host.startGrandchild(number(value.substr(0, colon)),
                         colon == value.npos ? std::nullopt : std::optional(value.substr(colon + 1)),
                         holdsOutput);
}

std::filesystem::path utf8Path(std::string_view path) { return std::u8string(path.begin(), path.end()); }

void runStep(Step step, ScriptHost& host) {
    const auto [name, value] = step;
    if (name == "print") {
        host.write(Stream::Output, unescape(value));
    } else if (name == "stderr") {
        host.write(Stream::Error, unescape(value));
    } else if (name == "sleep") {
        host.sleepMs(number(value));
    } else if (name == "exit") {
        host.exitNow(number(value));
    } else if (name == "crash") {
        host.crash(number(value));
    } else if (name == "hang") {
        host.hang();
    } else if (name == "flood") {
        flood(value, host);
    } else if (name == "grandchild" || name == "background") {
        startGrandchild(value, name == "grandchild", host);
    } else if (name == "close-output") {
        host.closeOutput();
    } else if (name == "pidfile") {
        host.writePidFile(value);
    } else if (name == "progress") {
        progress(value, host);
    } else if (name == "wait-for") {
        // Until the test makes the file, as a lengthy conversion would wait; 30 s at most.
        for (int poll = 0; poll < 3000 && !std::filesystem::exists(utf8Path(value)); ++poll) host.sleepMs(10);
    } else {
        host.runOwnStep(name, value);
    }
}

}  // namespace

Step parseStep(std::string_view argument) {
    const std::size_t colon = argument.find(':');
    return {argument.substr(0, colon), colon == argument.npos ? "" : argument.substr(colon + 1)};
}

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

long long byteCount(std::string_view text) {
    const std::size_t unit =
        text.empty() ? std::string_view::npos : std::string_view("kmg").find(text.back());
    const int shift = unit == std::string_view::npos ? 0 : 10 * static_cast<int>(unit + 1);
    return number(text) << shift;
}

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

void runScript(const std::vector<std::string>& arguments, ScriptHost& host) {
    // As ffmpeg does with "-i INPUT ... OUTPUT", the last argument after an
    // input is made the output, with a few bytes in it, before anything else.
    const auto input = std::find(arguments.begin(), arguments.end(), "-i");
    if (input != arguments.end() && arguments.end() - input > 2) {
        const std::string& output = arguments.back();
        std::ofstream(utf8Path(output), std::ios::binary) << "fake encoder output\n";
    }
    for (const std::string& argument : arguments) {
        if (argument != "input-steps" || input == arguments.end() || input + 1 == arguments.end()) {
            runStep(parseStep(argument), host);
            continue;
        }
        // The input's own steps, one a line: rows of one batch act apart.
        std::ifstream steps(utf8Path(input[1]), std::ios::binary);
        for (std::string line; std::getline(steps, line);) runStep(parseStep(line), host);
    }
}

}  // namespace mirvane::test
