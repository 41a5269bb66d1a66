#include "support/fake_main_window_view.h"

#include <algorithm>

namespace mirvane::test {

void RecordingGauge::setMaxValue(int value) {
    maxValue = value;
    if (progress > value) progress = value;
    changes.emplace_back("max", value);
}

void RecordingGauge::setProgress(int value) {
    progress = std::clamp(value, 0, maxValue);
    changes.emplace_back("progress", value);
}

void FakeMainWindowView::rowsAppended(std::span<const JobRow> added) {
    rows.insert(rows.end(), added.begin(), added.end());
}

void FakeMainWindowView::rowChanged(int row, const JobRow& data) {
    rows.at(static_cast<std::size_t>(row)) = data;
    statusChanges.emplace_back(row, data.status);
}

void FakeMainWindowView::rowsRemoved(const std::vector<int>& removed) {
    for (auto row = removed.rbegin(); row != removed.rend(); ++row) rows.erase(rows.begin() + *row);
}

void FakeMainWindowView::setPresetTitles(const std::vector<std::string>& titles) {
    presetTitles = titles;
    preset = titles.empty() ? -1 : 0;
}

bool FakeMainWindowView::confirmForcedQuit(const std::string& text) {
    messages.push_back("question: " + text);
    return answer;
}

std::vector<std::string> FakeMainWindowView::paths() const {
    std::vector<std::string> result;
    for (const JobRow& row : rows) result.push_back(row.path);
    return result;
}

std::vector<JobStatus> FakeMainWindowView::statuses() const {
    std::vector<JobStatus> result;
    for (const JobRow& row : rows) result.push_back(row.status);
    return result;
}

void FakeMainWindowView::setRowPercent(int row, std::optional<int> percent) {
    if (percent) {
        rowPercents[row] = *percent;
    } else {
        rowPercents.erase(row);
    }
}

void FakeMainWindowView::showRowReason(int row, const std::string& reason) {
    reasonsShown.emplace_back(row, reason);
}

std::vector<std::string> FakeMainWindowView::chooseFiles() {
    ++fileDialogs;
    return chosenFiles;
}

}  // namespace mirvane::test
