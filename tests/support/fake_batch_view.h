#pragma once
// The window's controls as plain values, with a record of every gauge change.

#include <string>
#include <utility>
#include <vector>

#include "engine/batch_view.h"
#include "engine/texts.h"

namespace mirvane::test {

class RecordingGauge : public GaugeView {
public:
    void setMaxValue(int value) override;
    void setProgress(int value) override;

    int maxValue = 100;
    int progress = 0;
    // ("max", v) and ("progress", v) in the order they arrived.
    std::vector<std::pair<std::string, int>> changes;
};

struct FakeRow {
    std::string caption;
    std::string status;
};

class FakeBatchView : public BatchView {
public:
    int rowCount() const override { return static_cast<int>(rows.size()); }
    std::string rowCaption(int row) const override { return rows.at(row).caption; }
    std::string rowStatus(int row) const override { return rows.at(row).status; }
    void setRowStatus(int row, const std::string& status) override;
    GaugeView& gauge() override { return gaugeView; }
    std::string startCaption() const override { return caption; }
    void setStartCaption(const std::string& text) override { caption = text; }
    void setStartEnabled(bool enabled) override { startEnabled = enabled; }
    void setOptionControlsEnabled(bool enabled) override { optionsEnabled = enabled; }
    int selectedPreset() const override { return preset; }
    bool directShowTicked() const override { return directShow; }

    void addRow(const std::string& path, const std::string& status = texts::kStatusPending);
    std::vector<std::string> statuses() const;

    std::vector<FakeRow> rows;
    RecordingGauge gaugeView;
    std::string caption = texts::kCaptionStart;
    bool startEnabled = true;
    bool optionsEnabled = true;
    int preset = 0;
    bool directShow = false;
    // (row, status) in the order the statuses were written.
    std::vector<std::pair<int, std::string>> statusChanges;
};

}  // namespace mirvane::test
