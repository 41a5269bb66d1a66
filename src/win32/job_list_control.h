#pragma once
// The job list's list view: a report view whose rows the control asks for
// when it draws them (LVS_OWNERDATA), so that adding ten thousand rows is one
// count change and never ten thousand insertions. It keeps each row's texts
// as the list shows them, tells assistive technology what a list view
// with its own rows would (rows added, removed, changed), and describes a
// failed row by its reason.

#include <windows.h>

#include <commctrl.h>

#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "engine/jobs/job_list.h"
#include "engine/window/row_look.h"
#include "win32/accessible_annotations.h"
#include "win32/row_reason_tip.h"

namespace mirvane::win32 {

class JobListControl {
public:
    // Creates the list view as a child of parent, with its two columns and
    // its accessible name.
    HWND create(HWND parent, int id);
    HWND handle() const { return m_list; }

    void append(std::span<const JobRow> rows);
    // Before the list takes the focus: a focused row, selected when none is.
    void keepAFocusedRow();
    void change(int row, const JobRow& data);
    // Ascending row numbers as they were before the removal.
    void remove(const std::vector<int>& rows);
    void clear();
    // A row's own percentage, kept with it until the batch takes it away
    // (nullopt); its look decides whether it shows.
    void setPercent(int row, std::optional<int> percent);
    // The reason beside the row's status cell until hideReason.
    void showReason(int row, const std::wstring& reason) { m_reasonTip.show(row, reason); }
    void hideReason() { m_reasonTip.hide(); }
    std::wstring reasonShown() const { return m_reasonTip.shownText(); }

    int size() const { return static_cast<int>(m_rows.size()); }
    // How row is drawn: the engine's look of what the list keeps of it.
    RowLook look(int row) const;
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
        std::string reason;
        std::optional<int> percent;  // the last reported; the look shows it only while converting
    };
    void setCount();
    // The accessible description of row: its reason while it has failed.
    void describe(int row);
    void describeAll();
    // One event per row for a few rows, one for the whole list for many.
    void announceRows(DWORD event, const std::vector<int>& rows);

    HWND m_list = nullptr;
    std::vector<Row> m_rows;
    RowReasonTip m_reasonTip;
    AccessibleAnnotations m_annotations;
    std::set<int> m_described;          // the rows whose description is annotated
    mutable std::wstring m_statusText;  // the status cell the list asked for last
};

}  // namespace mirvane::win32
