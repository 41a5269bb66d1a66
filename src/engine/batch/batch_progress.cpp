#include "engine/batch/batch_progress.h"

#include <algorithm>

#include "engine/desktop/gauge_percent.h"

namespace mirvane {

namespace {

// Each row is worth this much of the batch's gauge: a running row adds its
// whole percentage, so the gauge moves exactly when a row's percentage does.
constexpr int kRowShare = 100;

}  // namespace

class BatchProgress::RowGauge : public GaugeView {
public:
    RowGauge(BatchProgress& batch, int row) : m_batch(batch), m_row(row) {}

    void setMaxValue(int value) override {
        m_duration = value;
        changed();
    }
    void setProgress(int value) override {
        m_position = value;
        changed();
    }

    int row() const { return m_row; }
    // Unknown until the job has reported its length.
    std::optional<int> percent() const { return m_shown; }

private:
    void changed() {
        if (m_duration <= 0) return;
        const int percent = GaugePercent(std::clamp(m_position, 0, m_duration), m_duration);
        if (percent == m_shown) return;
        m_shown = percent;
        m_batch.m_view.setRowPercent(m_row, percent);
        m_batch.showBatch();
    }

    BatchProgress& m_batch;
    const int m_row;
    int m_duration = 0;
    int m_position = 0;
    std::optional<int> m_shown;
};

BatchProgress::BatchProgress(BatchView& view, GaugeView& gauge) : m_view(view), m_gauge(gauge) {}

BatchProgress::~BatchProgress() = default;

void BatchProgress::batchStarted(int rows) {
    m_finished = 0;
    m_running.clear();
    m_gauge.setMaxValue(std::max(rows, 1) * kRowShare);
    m_gauge.setProgress(0);
}

GaugeView& BatchProgress::rowStarted(int row) {
    m_running.push_back(std::make_unique<RowGauge>(*this, row));
    return *m_running.back();
}

void BatchProgress::rowEnded(int row, bool finished) {
    const auto ended = std::find_if(m_running.begin(), m_running.end(),
                                    [row](const auto& gauge) { return gauge->row() == row; });
    // A row that failed before its job started has no gauge.
    if (ended != m_running.end()) {
        if ((*ended)->percent()) m_view.setRowPercent(row, std::nullopt);
        m_running.erase(ended);
    }
    m_finished += finished;
    showBatch();
}

void BatchProgress::batchEnded() {
    m_running.clear();
    m_gauge.setProgress(0);
}

void BatchProgress::showBatch() {
    int progress = m_finished * kRowShare;
    for (const auto& gauge : m_running) progress += gauge->percent().value_or(0);
    m_gauge.setProgress(progress);
}

}  // namespace mirvane
