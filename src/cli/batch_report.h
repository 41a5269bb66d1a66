#pragma once
// How mirvane-cli tells of a batch as it goes: each job's start, its
// progress, its end, and the batch's end. One report per kind of reader:
// a person at a terminal, a log read line by line, another program.

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "engine/jobs/job_list.h"

namespace mirvane::cli {

struct BatchCounts {
    int converted = 0;
    int failed = 0;
    // Rows a stop left 未変換.
    int stopped = 0;
};

class BatchReport {
public:
    // Where the report's text goes.
    using Write = std::function<void(std::string_view text)>;

    virtual ~BatchReport() = default;
    virtual void jobStarted(int row, const std::string& input) = 0;
    // A whole percentage that changed.
    virtual void jobProgress(int row, const std::string& input, int percent) = 0;
    // The row as it ended (変換済, エラー with its reason, or 未変換 after a
    // stop); output is the finished file's name for a converted row.
    virtual void jobFinished(int row, const JobRow& ended, const std::string& output) = 0;
    virtual void batchOver(const BatchCounts& counts, bool stopped) = 0;
};

// Lets a job's progress through at most once a second: enough for a log or
// a job runner, and their readers are not flooded by a fast encoder.
class ProgressPace {
public:
    bool due(int row) {
        const auto now = std::chrono::steady_clock::now();
        const auto [last, first] = m_last.try_emplace(row, now);
        if (first) return true;
        if (now - last->second < std::chrono::seconds(1)) return false;
        last->second = now;
        return true;
    }
    void forget(int row) { m_last.erase(row); }

private:
    std::map<int, std::chrono::steady_clock::time_point> m_last;
};

}  // namespace mirvane::cli
