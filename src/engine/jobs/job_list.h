#pragma once
// The job list: one row per input file, in the order the rows were added.
// A row keeps the path's exact bytes (the encoder gets them unchanged, whatever
// their encoding), its status as a value, and why it failed. Every change is
// reported to the window that shows the rows.

#include <span>
#include <string>
#include <vector>

namespace mirvane {

enum class JobStatus { Pending, Converting, Converted, Failed };

struct JobRow {
    std::string path;
    JobStatus status = JobStatus::Pending;
    // Why a failed row failed; empty for every other status.
    std::string reason;

    bool operator==(const JobRow&) const = default;
};

// What a window does to show the rows; each call follows the change it names.
class JobListView {
public:
    virtual ~JobListView() = default;
    // New rows at the end of the list.
    virtual void rowsAppended(std::span<const JobRow> rows) = 0;
    virtual void rowChanged(int row, const JobRow& data) = 0;
    // Ascending row numbers as they were before the removal.
    virtual void rowsRemoved(const std::vector<int>& rows) = 0;
    virtual void rowsCleared() = 0;
};

class JobList {
public:
    explicit JobList(JobListView& view) : m_view(view) {}

    int size() const { return static_cast<int>(m_rows.size()); }
    bool empty() const { return m_rows.empty(); }
    const JobRow& row(int index) const { return m_rows.at(static_cast<std::size_t>(index)); }
    std::span<const JobRow> rows() const { return m_rows; }

    // New pending rows at the end; nothing is checked about the paths.
    void append(const std::vector<std::string>& paths);
    // Rows as they were kept (a reason only with JobStatus::Failed), at the end.
    void appendRows(std::vector<JobRow> rows);
    // A reason is kept only with JobStatus::Failed.
    void setStatus(int index, JobStatus status, std::string reason = {});
    // Removes the rows named (in any order, repeats allowed; unknown ones ignored).
    void remove(std::vector<int> rows);
    void clear();
    // Every failed row becomes pending again and forgets its reason.
    void resetFailed();

private:
    std::vector<JobRow> m_rows;
    JobListView& m_view;
};

}  // namespace mirvane
