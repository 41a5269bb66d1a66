#include "win32/job_list_control.h"

#include <commctrl.h>

#include <algorithm>
#include <array>
#include <system_error>
#include <utility>

#include "engine/platform/win32/wide_text.h"
#include "engine/texts/texts.h"
#include "engine/window/form_layout.h"
#include "engine/window/row_look.h"
#include "win32/control_ids.h"

namespace mirvane::win32 {

namespace {

using platform::win32::toWide;

// More rows than this at once are announced as one change of the list: a
// screen reader handed ten thousand events would fall behind for minutes.
constexpr std::size_t kRowEventLimit = 100;

void addColumn(HWND list, int index, const char* title, int format) {
    std::wstring text = toWide(title);
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    column.fmt = format;
    column.cx = 0;
    column.pszText = text.data();
    SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
}

}  // namespace

HWND JobListControl::create(HWND parent, int id) {
    // Several rows selectable, rows never sorted nor edited, no border; only
    // the list's own pixels are drawn where the hint lies above it.
    const DWORD style =
        WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS;
    // The window text is the list's name to whatever reads names from it;
    // the annotation is the name the system's own list object gives.
    m_list = CreateWindowExW(0, WC_LISTVIEWW, toWide(texts::kJobListName).c_str(), style, 0, 0, 0, 0, parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr),
                             nullptr);
    if (!m_list) throw std::system_error(platform::win32::lastError(), "CreateWindowExW(jobList)");
    const DWORD extended = LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER;
    SendMessageW(m_list, LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);
    SendMessageW(m_list, LVM_SETBKCOLOR, 0, RGB(255, 255, 255));
    SendMessageW(m_list, LVM_SETTEXTBKCOLOR, 0, RGB(255, 255, 255));
    SendMessageW(m_list, LVM_SETTEXTCOLOR, 0, GetSysColor(COLOR_WINDOWTEXT));
    addColumn(m_list, 0, texts::kColumnFileName, LVCFMT_LEFT);
    addColumn(m_list, 1, texts::kColumnStatus, LVCFMT_CENTER);
    m_annotations.setName(m_list, toWide(texts::kJobListName).c_str());
    m_reasonTip.create(parent, m_list);
    return m_list;
}

void JobListControl::setDpi(UINT dpi, UINT previousDpi) {
    const int widths[] = {form::kFileNameColumnWidth, form::kStatusColumnWidth};
    for (int column = 0; column < 2; ++column) {
        const int width = previousDpi == 0
                              ? MulDiv(widths[column], static_cast<int>(dpi), 96)
                              : MulDiv(static_cast<int>(SendMessageW(m_list, LVM_GETCOLUMNWIDTH, column, 0)),
                                       static_cast<int>(dpi), static_cast<int>(previousDpi));
        SendMessageW(m_list, LVM_SETCOLUMNWIDTH, column, MAKELPARAM(width, 0));
    }
    m_reasonTip.setMaxWidth(MulDiv(400, static_cast<int>(dpi), 96));
}

// The new count with the list's drawing held back until the end, so that a
// drop of many files repaints the list once.
void JobListControl::setCount() {
    SendMessageW(m_list, WM_SETREDRAW, FALSE, 0);
    SendMessageW(m_list, LVM_SETITEMCOUNT, m_rows.size(), LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
    SendMessageW(m_list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(m_list, nullptr, TRUE);
}

void JobListControl::append(std::span<const JobRow> rows) {
    const int first = size();
    m_rows.reserve(m_rows.size() + rows.size());
    for (const JobRow& row : rows) m_rows.push_back({toWide(row.path), row.status, row.reason, {}});
    setCount();
    std::vector<int> added;  // one past the limit is enough to tell
    for (int row = first; row < size(); ++row) {
        describe(row);
        if (added.size() <= kRowEventLimit) added.push_back(row);
    }
    announceRows(EVENT_OBJECT_CREATE, added);
}

// A list with rows has a focused row, selected when nothing else is: a
// reader names it as the list takes the focus, and the keys act on it.
void JobListControl::keepAFocusedRow() {
    if (m_rows.empty()) return;
    auto focus =
        static_cast<int>(SendMessageW(m_list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    LVITEMW on{};
    if (focus < 0) {
        // The first selected row, so that the focus does not leave the selection.
        focus = std::max(0, static_cast<int>(SendMessageW(m_list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1),
                                                          LVNI_SELECTED)));
        on.stateMask = on.state = LVIS_FOCUSED;
        SendMessageW(m_list, LVM_SETITEMSTATE, focus, reinterpret_cast<LPARAM>(&on));
    }
    if (SendMessageW(m_list, LVM_GETSELECTEDCOUNT, 0, 0) == 0) {
        on.stateMask = on.state = LVIS_SELECTED;
        SendMessageW(m_list, LVM_SETITEMSTATE, focus, reinterpret_cast<LPARAM>(&on));
    }
}

// The list's rows have no texts of their own, so the list raises nothing
// when one changes: the event a list view raises for a new text is raised here.
void JobListControl::change(int row, const JobRow& data) {
    Row& shown = m_rows.at(static_cast<std::size_t>(row));
    shown.status = data.status;
    shown.reason = data.reason;
    SendMessageW(m_list, LVM_REDRAWITEMS, static_cast<WPARAM>(row), row);
    describe(row);
    NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, m_list, OBJID_CLIENT, row + 1);
}

void JobListControl::setPercent(int row, std::optional<int> percent) {
    if (row < 0 || row >= size()) return;
    Row& shown = m_rows[static_cast<std::size_t>(row)];
    if (shown.percent == percent) return;
    shown.percent = percent;
    SendMessageW(m_list, LVM_REDRAWITEMS, static_cast<WPARAM>(row), row);
}

void JobListControl::describe(int row) {
    const std::wstring description = toWide(look(row).description);
    const bool described = !description.empty();
    if (!described && !m_described.contains(row)) return;
    m_annotations.setDescription(m_list, row + 1, description);
    if (described)
        m_described.insert(row);
    else
        m_described.erase(row);
}

// After rows moved: the descriptions follow their rows to their new numbers.
void JobListControl::describeAll() {
    for (int row : std::exchange(m_described, {})) m_annotations.setDescription(m_list, row + 1, {});
    for (int row = 0; row < size(); ++row) describe(row);
}

void JobListControl::announceRows(DWORD event, const std::vector<int>& rows) {
    if (rows.size() > kRowEventLimit) {
        NotifyWinEvent(EVENT_OBJECT_REORDER, m_list, OBJID_CLIENT, CHILDID_SELF);
        return;
    }
    for (int row : rows) NotifyWinEvent(event, m_list, OBJID_CLIENT, row + 1);
}

// A list without its own rows keeps its selection as row numbers: they are
// carried over to the rows' new places, and the focus and the top row stay
// with their rows, a removed one handing its place to the next row kept.
void JobListControl::remove(const std::vector<int>& removed) {
    if (removed.empty()) return;
    m_reasonTip.hide();
    auto isRemoved = [&](int row) { return std::binary_search(removed.begin(), removed.end(), row); };
    const int rowsLeft = size() - static_cast<int>(removed.size());
    auto newIndex = [&](int old) { return form::rowAfterRemoval(old, removed, rowsLeft); };
    std::vector<int> selected;
    for (int row : selectedRows())
        if (!isRemoved(row)) selected.push_back(newIndex(row));
    const int focus =
        static_cast<int>(SendMessageW(m_list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    const int top = static_cast<int>(SendMessageW(m_list, LVM_GETTOPINDEX, 0, 0));

    std::vector<Row> kept;
    kept.reserve(m_rows.size() - removed.size());
    for (int i = 0; i < size(); ++i)
        if (!isRemoved(i)) kept.push_back(std::move(m_rows[static_cast<std::size_t>(i)]));
    m_rows = std::move(kept);

    SendMessageW(m_list, WM_SETREDRAW, FALSE, 0);
    LVITEMW none{};
    none.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(m_list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&none));
    SendMessageW(m_list, LVM_SETITEMCOUNT, m_rows.size(), LVSICF_NOSCROLL);
    if (!m_rows.empty()) {
        LVITEMW on{};
        on.stateMask = on.state = LVIS_SELECTED;
        for (int row : selected) SendMessageW(m_list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&on));
        if (focus >= 0) {
            on.stateMask = on.state = LVIS_FOCUSED;
            SendMessageW(m_list, LVM_SETITEMSTATE, newIndex(focus), reinterpret_cast<LPARAM>(&on));
        }
        if (top >= 0) {
            const int wantedTop = newIndex(top);
            const int nowTop = static_cast<int>(SendMessageW(m_list, LVM_GETTOPINDEX, 0, 0));
            RECT rowRect{LVIR_BOUNDS, 0, 0, 0};
            SendMessageW(m_list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&rowRect));
            SendMessageW(m_list, LVM_SCROLL, 0, (wantedTop - nowTop) * (rowRect.bottom - rowRect.top));
        }
    }
    SendMessageW(m_list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(m_list, nullptr, TRUE);
    describeAll();
    // As a list view deleting them one by one, the last first.
    announceRows(EVENT_OBJECT_DESTROY, std::vector<int>(removed.rbegin(), removed.rend()));
}

void JobListControl::clear() {
    m_reasonTip.hide();
    m_rows.clear();
    SendMessageW(m_list, LVM_DELETEALLITEMS, 0, 0);
    setCount();
    describeAll();
    NotifyWinEvent(EVENT_OBJECT_REORDER, m_list, OBJID_CLIENT, CHILDID_SELF);
}

std::vector<int> JobListControl::selectedRows() const {
    std::vector<int> rows;
    int row = -1;
    while ((row = static_cast<int>(
                SendMessageW(m_list, LVM_GETNEXTITEM, static_cast<WPARAM>(row), LVNI_SELECTED))) >= 0)
        rows.push_back(row);
    return rows;
}

// The list copies the text from the row's own string: the path shows whole,
// however long, where a copy into the list's buffer would cut it.
void JobListControl::displayInfo(NMLVDISPINFOW& info) const {
    if (!(info.item.mask & LVIF_TEXT) || info.item.iItem < 0 || info.item.iItem >= size()) return;
    const Row& row = m_rows[static_cast<std::size_t>(info.item.iItem)];
    if (info.item.iSubItem != 0) m_statusText = toWide(look(info.item.iItem).words);
    info.item.pszText =
        const_cast<wchar_t*>(info.item.iSubItem == 0 ? row.path.c_str() : m_statusText.c_str());
}

std::wstring JobListControl::statusTipAt(POINT point) const {
    LVHITTESTINFO hit{};
    hit.pt = point;
    SendMessageW(m_list, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit));
    if (hit.iItem < 0 || hit.iItem >= size() || hit.iSubItem != 1) return {};
    return toWide(look(hit.iItem).tip);
}

RowLook JobListControl::look(int row) const {
    const Row& shown = m_rows.at(static_cast<std::size_t>(row));
    return rowLook(shown.status, shown.reason, shown.percent);
}

}  // namespace mirvane::win32
