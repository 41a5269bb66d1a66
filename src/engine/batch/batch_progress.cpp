#include "engine/batch/batch_progress.h"

#include <algorithm>

#include "engine/desktop/gauge_percent.h"

namespace mirvane {

namespace {

// Each row is worth this much of the batch's gauge: a running row adds its
// whole percentage, so the gauge moves exactly when a row's percentage does.
constexpr int kRowShare = 100;

}  // namespace

// A job's gauge: every value it reports is passed on. The job sends only
// what changes its whole percentage (JobOutput), so nothing is held back here.
class BatchProgress::RowGauge : public GaugeView {
public:
    RowGauge(BatchProgress& batch, int row) : m_batch(batch), m_row(row) {}

    void setMaxValue(int value) override {
        m_length = value;
        m_batch.rowChanged(*this, true);
    }
    void setProgress(int value) override {
        m_position = value;
        m_batch.rowChanged(*this, false);
    }

    int row() const { return m_row; }
    int length() const { return m_length; }
    int position() const { return m_position; }
    int percent() const { return GaugePercent(std::clamp(m_position, 0, std::max(m_length, 0)), m_length); }
    // Whether the row's percentage is shown beside its status.
    bool shown = false;

private:
    BatchProgress& m_batch;
    const int m_row;
    int m_length = 0;
    int m_position = 0;
};

BatchProgress::BatchProgress(BatchView& view, DesktopReporter& desktop) : m_view(view), m_desktop(desktop) {}

BatchProgress::~BatchProgress() = default;

void BatchProgress::batchStarted(int rows, int rowsAtOnce) {
    m_rows = rows;
    m_eachRow = rowsAtOnce > 1;
    m_finished = 0;
    m_running.clear();
    m_desktop.batchStarted(rows);
    if (m_eachRow && rows > 0) {
        m_view.gauge().setMaxValue(rows * kRowShare);
        m_view.gauge().setProgress(0);
    }
}

GaugeView& BatchProgress::rowStarted(int row) {
    m_running.push_back(std::make_unique<RowGauge>(*this, row));
    return *m_running.back();
}

void BatchProgress::rowChanged(RowGauge& gauge, bool newLength) {
    if (!m_eachRow) {
        // The window's gauge first: a value it refuses changes nothing on the desktop either.
        if (newLength) {
            m_view.gauge().setMaxValue(gauge.length());
        } else {
            m_view.gauge().setProgress(gauge.position());
        }
        m_desktop.showPercent(gauge.percent());
        return;
    }
    // Without the input's length a row has no percentage to show.
    if (gauge.length() <= 0) return;
    gauge.shown = true;
    m_view.setRowPercent(gauge.row(), gauge.percent());
    showBatch();
}

void BatchProgress::rowEnded(int row, JobStatus status) {
    const auto ended = std::find_if(m_running.begin(), m_running.end(),
                                    [row](const auto& gauge) { return gauge->row() == row; });
    // A row that failed before its job started has no gauge.
    const bool started = ended != m_running.end();
    if (started) {
        if ((*ended)->shown) m_view.setRowPercent(row, std::nullopt);
        m_running.erase(ended);
    }
    m_finished += status != JobStatus::Pending;
    if (m_eachRow) {
        showBatch();
    } else if (started) {
        m_view.gauge().setProgress(0);
        m_desktop.showPercent(0);
    }
    m_desktop.rowFinished(status);
}

void BatchProgress::batchEnded(bool stopped) {
    m_running.clear();
    if (m_eachRow && m_rows > 0) {
        m_view.gauge().setProgress(0);
        m_desktop.showPercent(0);
    }
    m_desktop.batchEnded(stopped);
}

void BatchProgress::showBatch() {
    int progress = m_finished * kRowShare;
    for (const auto& gauge : m_running) progress += gauge->shown ? gauge->percent() : 0;
    m_view.gauge().setProgress(progress);
    m_desktop.showPercent(GaugePercent(progress, std::max(m_rows, 1) * kRowShare));
}

}  // namespace mirvane
