#pragma once
// The window as plain values, with a record of what the engine did to it.

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/window/main_window_view.h"

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

class FakeMainWindowView : public MainWindowView {
public:
    void rowsAppended(std::span<const JobRow> added) override;
    void rowChanged(int row, const JobRow& data) override;
    void rowsRemoved(const std::vector<int>& removed) override;
    void rowsCleared() override { rows.clear(); }

    GaugeView& gauge() override { return gaugeView; }
    void setStartCaption(StartCaption text) override { caption = text; }
    void setStartEnabled(bool enabled) override { startEnabled = enabled; }
    void setOptionControlsEnabled(bool enabled) override { optionsEnabled = enabled; }
    void setHintVisible(bool visible) override { hintVisible = visible; }

    void setPresetTitles(const std::vector<std::string>& titles) override;
    int selectedPreset() const override { return preset; }
    bool directShowTicked() const override { return directShow; }
    std::vector<int> selectedRows() const override { return selection; }

    void setRowPercent(int row, std::optional<int> percent) override;
    void showRowReason(int row, const std::string& reason) override;
    std::vector<std::string> chooseFiles() override;
    void announce(const std::string& text) override { announced.push_back(text); }
    void focusStartButton() override { ++startFocused; }

    void showError(const std::string& text) override { messages.push_back("error: " + text); }
    void showInformation(const std::string& text) override { messages.push_back("information: " + text); }
    bool confirmForcedQuit(const std::string& text) override;
    void bringToFront() override { ++broughtToFront; }
    void closeWindow() override { ++closeRequests; }

    // The rows as the window shows them: path, status and reason.
    std::vector<std::string> paths() const;
    std::vector<JobStatus> statuses() const;

    std::vector<JobRow> rows;
    // (row, status) in the order the statuses were written.
    std::vector<std::pair<int, JobStatus>> statusChanges;
    RecordingGauge gaugeView;
    StartCaption caption = StartCaption::Start;
    bool startEnabled = true;
    bool optionsEnabled = true;
    bool hintVisible = true;
    std::vector<std::string> presetTitles;
    int preset = -1;
    bool directShow = false;
    std::vector<int> selection;
    // "error: ...", "information: ..." and "question: ..." in the order they were shown.
    std::vector<std::string> messages;
    // What was said through assistive technology, in order.
    std::vector<std::string> announced;
    bool answer = false;  // to the question: OK or Cancel
    int broughtToFront = 0;
    int closeRequests = 0;
    // Each row's percentage as last set; absent when none is shown.
    std::map<int, int> rowPercents;
    // (row, reason) in the order they were shown beside their rows.
    std::vector<std::pair<int, std::string>> reasonsShown;
    // What the file dialog answers, and how often it was opened.
    std::vector<std::string> chosenFiles;
    int fileDialogs = 0;
    int startFocused = 0;
};

}  // namespace mirvane::test
