#include "cli/line_report.h"

#include "engine/texts/texts.h"
#include "engine/window/row_look.h"

namespace mirvane::cli {

std::string FinishedWords(const JobRow& ended, const std::string& output, std::string_view separator) {
    std::string words = std::string(statusText(ended.status)) + std::string(separator) + ended.path;
    if (ended.status == JobStatus::Converted) words += std::string(separator) + output;
    if (ended.status == JobStatus::Failed) words += std::string(separator) + ended.reason;
    return words;
}

void LineReport::jobStarted(int, const std::string& input) {
    m_write(std::string(texts::kStatusConverting) + "\t" + input + "\n");
}

void LineReport::jobProgress(int row, const std::string& input, int percent) {
    if (!m_pace.due(row)) return;
    m_write(std::string(texts::kStatusConverting) + " " + std::to_string(percent) + "%\t" + input + "\n");
}

void LineReport::jobFinished(int row, const JobRow& ended, const std::string& output) {
    m_pace.forget(row);
    m_write(FinishedWords(ended, output, "\t") + "\n");
}

void LineReport::batchOver(const BatchCounts& counts, bool stopped) {
    m_write(texts::batchEndSaying(stopped, counts.converted, counts.failed) + "\n");
}

}  // namespace mirvane::cli
