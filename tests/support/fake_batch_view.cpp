#include "support/fake_batch_view.h"

namespace mirvane::test {

void RecordingGauge::setMaxValue(int value) {
    maxValue = value;
    if (progress > value) progress = value;
    changes.emplace_back("max", value);
}

void RecordingGauge::setProgress(int value) {
    progress = value < 0 ? 0 : (value > maxValue ? maxValue : value);
    changes.emplace_back("progress", value);
}

void FakeBatchView::setRowStatus(int row, const std::string& status) {
    rows.at(row).status = status;
    statusChanges.emplace_back(row, status);
}

void FakeBatchView::addRow(const std::string& path, const std::string& status) {
    rows.push_back({path, status});
}

std::vector<std::string> FakeBatchView::statuses() const {
    std::vector<std::string> result;
    for (const auto& row : rows) result.push_back(row.status);
    return result;
}

}  // namespace mirvane::test
