#pragma once
// The report for a log or a pipe: one plain line per event, its fields
// separated by tabs (status, input, then the output or the reason), and the
// batch's counts at the end.

#include "cli/batch_report.h"

namespace mirvane::cli {

class LineReport : public BatchReport {
public:
    explicit LineReport(Write write) : m_write(std::move(write)) {}
    void jobStarted(int row, const std::string& input) override;
    void jobProgress(int row, const std::string& input, int percent) override;
    void jobFinished(int row, const JobRow& ended, const std::string& output) override;
    void batchOver(const BatchCounts& counts, bool stopped) override;

private:
    Write m_write;
    ProgressPace m_pace;
};

// A finished row's words: its status, and what the user finds (the output)
// or why not (the reason), as both reports for people show it.
std::string FinishedWords(const JobRow& ended, const std::string& output, std::string_view separator);

}  // namespace mirvane::cli
