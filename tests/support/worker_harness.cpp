#include "support/worker_harness.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine/Consol.h"
#include "engine/command_line.h"

namespace mirvane::test {

std::string fakeEncoderCommand(std::initializer_list<std::string_view> steps) {
    std::string command = QuoteProgram(MIRVANE_FAKE_ENCODER) + " -y";
    for (std::string_view step : steps) command += " " + QuoteArgument(step);
    return command;
}

WorkerHarness::WorkerHarness() : paths(AppPaths::fromExecutable(dir.file("Mirvane"))) {}

int32_t WorkerHarness::run(const std::string& commandLine) {
    TConsolThread worker(commandLine, unit, uiThread, gauge, paths, [this] { unit.ThreadDone = true; });
    while (!unit.ThreadDone) uiThread.processEvents(std::nullopt);
    return unit.ConvertResult;
}

std::string WorkerHarness::log() const {
    std::ifstream in(paths.logFile, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

}  // namespace mirvane::test
