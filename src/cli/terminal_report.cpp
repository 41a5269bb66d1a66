#include "cli/terminal_report.h"

#include "cli/line_report.h"
#include "engine/jobs/paths.h"
#include "engine/texts/texts.h"

namespace mirvane::cli {

namespace {

// The terminal's control sequences: to the start of the line n lines up,
// and the line, or everything below the cursor, cleared.
std::string linesUp(int n) { return "\x1b[" + std::to_string(n) + "F"; }
constexpr const char* kClearLine = "\x1b[2K";
constexpr const char* kClearBelow = "\x1b[J";

}  // namespace

void TerminalReport::redraw(const std::string& linesThatStay) {
    std::string text = m_drawnLines > 0 ? linesUp(m_drawnLines) : std::string();
    text += linesThatStay;
    for (const auto& [row, running] : m_running) {
        const std::string percent = std::to_string(running.percent);
        text += std::string(kClearLine) + std::string(3 - percent.size(), ' ') + percent + "% " +
                texts::kStatusConverting + " " + running.name + "\n";
    }
    m_write(text + kClearBelow);
    m_drawnLines = static_cast<int>(m_running.size());
}

void TerminalReport::jobStarted(int row, const std::string& input) {
    m_running[row] = {input.substr(ExtractFolder(input).size()), 0};
    redraw();
}

void TerminalReport::jobProgress(int row, const std::string&, int percent) {
    const auto running = m_running.find(row);
    if (running == m_running.end() || running->second.percent == percent) return;
    running->second.percent = percent;
    redraw();
}

void TerminalReport::jobFinished(int row, const JobRow& ended, const std::string& output) {
    m_running.erase(row);
    redraw(std::string(kClearLine) + FinishedWords(ended, output, " ") + "\n");
}

void TerminalReport::batchOver(const BatchCounts& counts, bool stopped) {
    m_running.clear();
    redraw(std::string(kClearLine) + texts::batchEndSaying(stopped, counts.converted, counts.failed) + "\n");
}

}  // namespace mirvane::cli
