#include "engine/jobs/job_list.h"

#include <algorithm>

namespace mirvane {

void JobList::append(const std::vector<std::string>& paths) {
    if (paths.empty()) return;
    const std::size_t first = m_rows.size();
    m_rows.reserve(m_rows.size() + paths.size());
    // A name holding a NUL names no file on any system (a drop's URL can
    // carry one): no job could name its output after it.
    for (const std::string& path : paths)
        if (path.find('\0') == std::string::npos) m_rows.push_back({path, JobStatus::Pending, {}});
    if (m_rows.size() == first) return;
    m_view.rowsAppended(std::span<const JobRow>(m_rows).subspan(first));
}

void JobList::appendRows(std::vector<JobRow> rows) {
    if (rows.empty()) return;
    const std::size_t first = m_rows.size();
    m_rows.reserve(m_rows.size() + rows.size());
    for (JobRow& row : rows) {
        if (row.path.find('\0') != std::string::npos) continue;
        if (row.status != JobStatus::Failed) row.reason.clear();
        m_rows.push_back(std::move(row));
    }
    if (m_rows.size() == first) return;
    m_view.rowsAppended(std::span<const JobRow>(m_rows).subspan(first));
}

void JobList::setStatus(int index, JobStatus status, std::string reason) {
    JobRow& target = m_rows.at(static_cast<std::size_t>(index));
    target.status = status;
    target.reason = status == JobStatus::Failed ? std::move(reason) : std::string();
    m_view.rowChanged(index, target);
}

// One pass over the rows, however many go: deleting them one by one would
// move every row below each of them.
void JobList::remove(std::vector<int> rows) {
    std::erase_if(rows, [this](int row) { return row < 0 || row >= size(); });
    if (rows.empty()) return;
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());

    std::vector<JobRow> kept;
    kept.reserve(m_rows.size() - rows.size());
    auto next = rows.begin();
    for (int i = 0; i < size(); ++i) {
        if (next != rows.end() && *next == i) {
            ++next;
            continue;
        }
        kept.push_back(std::move(m_rows[static_cast<std::size_t>(i)]));
    }
    m_rows = std::move(kept);
    m_view.rowsRemoved(rows);
}

void JobList::clear() {
    m_rows.clear();
    m_view.rowsCleared();
}

void JobList::resetFailed() {
    for (int i = 0; i < size(); ++i)
        if (m_rows[static_cast<std::size_t>(i)].status == JobStatus::Failed) setStatus(i, JobStatus::Pending);
}

}  // namespace mirvane
