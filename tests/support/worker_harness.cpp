#include "support/worker_harness.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine/formats/command_line.h"

namespace mirvane::test {

WorkerHarness::WorkerHarness() : paths(AppPaths::fromExecutable(dir.file("Mirvane"))) {
    std::filesystem::create_directories(std::filesystem::path(paths.encoder).parent_path());
    setEncoderPresent(true);
}

std::string WorkerHarness::command(std::initializer_list<std::string_view> steps) const {
    std::string line = QuoteProgram(paths.encoder) + " -y";
    for (std::string_view step : steps) line += " " + QuoteArgument(step);
    return line;
}

void WorkerHarness::setEncoderPresent(bool present) {
    std::filesystem::remove(paths.encoder);
    if (present) std::filesystem::copy_file(MIRVANE_FAKE_ENCODER, paths.encoder);
}

int32_t WorkerHarness::run(const std::string& commandLine) {
    std::optional<JobResult> ended;
    JobLog log(paths.logFile);
    EncoderJob job({commandLine, commandLine}, flags, uiThread, gauge, paths, log,
                   [&ended](JobResult result) { ended = result; });
    m_job = &job;
    while (!ended) uiThread.processEvents(std::nullopt);
    m_job = nullptr;
    lastFailureReason = ended->reason;
    return ended->code;
}

std::string WorkerHarness::log() const {
    std::ifstream in(paths.logFile, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

}  // namespace mirvane::test
