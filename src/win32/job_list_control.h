#pragma once
// The job list's list view: a report view whose rows the control asks for
// when it draws them (LVS_OWNERDATA), so that adding ten thousand rows is one
// count change and never ten thousand insertions. It keeps each row's texts
// as the list shows them.

#include <windows.h>

#include <commctrl.h>

#include <span>
#include <string>
#include <vector>

#include "engine/jobs/job_list.h"

namespace mirvane::win32 {

class JobListControl {
public:
    // Creates the list view as a child of parent, with its two columns.
    HWND create(HWND parent, int id);
    HWND handle() const { return m_list; }

    void append(std::span<const JobRow> rows);
    void change(int row, const JobRow& data);
    // Ascending row numbers as they were before the removal.
    void remove(const std::vector<int>& rows);
    void clear();

    int size() const { return static_cast<int>(m_rows.size()); }
    JobStatus status(int row) const { return m_rows.at(static_cast<std::size_t>(row)).status; }
    // Ascending row numbers.
    std::vector<int> selectedRows() const;
    // The columns' widths: the specified ones scaled to dpi at first, the
    // current ones carried from one dpi to the other afterwards.
    void setDpi(UINT dpi, UINT previousDpi);

    // Answers the list's LVN_GETDISPINFOW.
    void displayInfo(NMLVDISPINFOW& info) const;
    // Why the row failed, when point (the list's client coordinates) lies
    // on the status cell of a failed row; empty anywhere else.
    std::wstring statusTipAt(POINT point) const;

private:
    struct Row {
        std::wstring path;
        JobStatus status;
        std::wstring reason;
    };
    void setCount();

    HWND m_list = nullptr;
    std::vector<Row> m_rows;
};

}  // namespace mirvane::win32
