#include "cli/console_batch_view.h"

#include "engine/desktop/gauge_percent.h"

namespace mirvane::cli {

void ConsoleBatchView::rowsAppended(std::span<const JobRow> rows) { m_rows.insert(m_rows.end(), rows.begin(), rows.end()); }

void ConsoleBatchView::rowChanged(int row, const JobRow& data) {
    const auto index = static_cast<std::size_t>(row);
    const JobStatus before = m_rows.at(index).status;
    m_rows[index] = data;
    if (data.status == JobStatus::Converting) {
        m_percents[row] = 0;
        m_report.jobStarted(row, data.path);
        return;
    }
    // A row that was not running (a failure found before its job started
    // is one) ends here too.
    if (before != JobStatus::Converting && data.status == JobStatus::Pending) return;
    m_percents.erase(row);
    m_ownPercent.erase(row);
    if (data.status == JobStatus::Converted) ++m_counts.converted;
    if (data.status == JobStatus::Failed) ++m_counts.failed;
    if (data.status == JobStatus::Pending) ++m_counts.stopped;
    m_report.jobFinished(row, data, m_outputs[row]);
    m_outputs.erase(row);
}

void ConsoleBatchView::progressed(int row, int percent) {
    const auto last = m_percents.find(row);
    if (last == m_percents.end() || last->second == percent) return;
    last->second = percent;
    m_report.jobProgress(row, m_rows.at(static_cast<std::size_t>(row)).path, percent);
}

void ConsoleBatchView::setRowPercent(int row, std::optional<int> percent) {
    if (!percent) return;
    m_ownPercent.insert(row);
    progressed(row, *percent);
}

void ConsoleBatchView::setMaxValue(int value) { m_gaugeMax = value; }

void ConsoleBatchView::setProgress(int value) {
    // With one job the gauge is that job's; with several, each row has its own.
    if (m_percents.size() != 1 || !m_ownPercent.empty()) return;
    progressed(m_percents.begin()->first, GaugePercent(value, m_gaugeMax));
}

}  // namespace mirvane::cli
