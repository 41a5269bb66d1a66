#pragma once
// The report for other programs: one JSON object per line, its "event"
// saying which ("started", "progress", "finished", "summary").

#include "cli/batch_report.h"

namespace mirvane::cli {

// The text as a JSON string, quotes included. Names keep their bytes where
// they are UTF-8; a byte that is not becomes U+FFFD, as JSON holds text only.
std::string JsonString(std::string_view text);

class JsonReport : public BatchReport {
public:
    explicit JsonReport(Write write) : m_write(std::move(write)) {}
    void jobStarted(int row, const std::string& input) override;
    void jobProgress(int row, const std::string& input, int percent) override;
    void jobFinished(int row, const JobRow& ended, const std::string& output) override;
    void batchOver(const BatchCounts& counts, bool stopped) override;

private:
    Write m_write;
    ProgressPace m_pace;
};

}  // namespace mirvane::cli
