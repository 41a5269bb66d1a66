#pragma once
// The batch's view in a program without a window: the rows' changes and the
// jobs' progress become a report's events. The preset is the one the
// command line chose; there are no controls to switch.

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "cli/batch_report.h"
#include "engine/desktop/batch_view.h"

namespace mirvane::cli {

class ConsoleBatchView : public BatchView, private GaugeView {
public:
    ConsoleBatchView(BatchReport& report, int preset) : m_report(report), m_preset(preset) {}

    // The rows as they ended, counted.
    BatchCounts counts() const { return m_counts; }

    void rowsAppended(std::span<const JobRow> rows) override;
    void rowChanged(int row, const JobRow& data) override;
    void rowsRemoved(const std::vector<int>&) override {}
    void rowsCleared() override {}

    GaugeView& gauge() override { return *this; }
    void setStartCaption(StartCaption) override {}
    void setStartEnabled(bool) override {}
    void setOptionControlsEnabled(bool) override {}
    int selectedPreset() const override { return m_preset; }
    bool directShowTicked() const override { return false; }
    void setRowPercent(int row, std::optional<int> percent) override;
    void rowOutputKept(int row, const std::string& output) override { m_outputs[row] = output; }

private:
    // The batch's gauge: while one job runs, its own progress.
    void setMaxValue(int value) override;
    void setProgress(int value) override;
    void progressed(int row, int percent);

    BatchReport& m_report;
    const int m_preset;
    std::vector<JobRow> m_rows;
    std::map<int, int> m_percents;  // the converting rows' last percentages
    std::map<int, std::string> m_outputs;
    // Rows whose own percentage the batch gives: the gauge is theirs together.
    std::set<int> m_ownPercent;
    int m_gaugeMax = 0;
    BatchCounts m_counts;
};

}  // namespace mirvane::cli
