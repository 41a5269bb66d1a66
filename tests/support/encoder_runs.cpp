#include "support/encoder_runs.h"

#include <fstream>
#include <thread>

#include "engine/formats/command_line.h"
#include "support/descriptor_count.h"

namespace mirvane::test {

using namespace std::chrono_literals;

std::string fakeCommand(const std::vector<std::string>& steps, const std::string& program) {
    std::string line = QuoteProgram(program) + " -y";
    for (const std::string& step : steps) line += " " + QuoteArgument(step);
    return line;
}

std::string readToEnd(platform::EncoderProcess& process) {
    std::string output;
    char buffer[2048];
    for (std::ptrdiff_t got; (got = process.read(buffer, sizeof buffer)) > 0;)
        output.append(buffer, static_cast<std::size_t>(got));
    return output;
}

std::string runToEnd(const std::vector<std::string>& steps) {
    platform::EncoderProcess process;
    if (process.start(MIRVANE_FAKE_ENCODER, fakeCommand(steps))) return "(not started)";
    process.closeWriteEnd();
    std::string output = readToEnd(process);
    process.close();
    return output;
}

bool waitUntil(const std::function<bool()>& condition, std::chrono::steady_clock::duration limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

int readPidFile(const std::string& path) {
    int pid = 0;
    waitUntil([&] { return std::ifstream(path) >> pid && pid > 0; }, 5s);
    return pid;
}

bool groupGone(int group) {
    return waitUntil([&] { return livingProcessesInGroup(group) == 0; }, 1s);
}

}  // namespace mirvane::test
