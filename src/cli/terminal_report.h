#pragma once
// The report for a person at a terminal: each running job on a line of its
// own, redrawn in place as its percentage moves; each ended job's line
// printed above them for good; the batch's counts at the end.

#include <map>

#include "cli/batch_report.h"

namespace mirvane::cli {

class TerminalReport : public BatchReport {
public:
    explicit TerminalReport(Write write) : m_write(std::move(write)) {}
    void jobStarted(int row, const std::string& input) override;
    void jobProgress(int row, const std::string& input, int percent) override;
    void jobFinished(int row, const JobRow& ended, const std::string& output) override;
    void batchOver(const BatchCounts& counts, bool stopped) override;

private:
    struct Running {
        std::string name;
        int percent = 0;
    };
    // Writes the lines that stay, then the running jobs' lines again over
    // the ones drawn before.
    void redraw(const std::string& linesThatStay = {});

    Write m_write;
    std::map<int, Running> m_running;  // in row order
    int m_drawnLines = 0;
};

}  // namespace mirvane::cli
