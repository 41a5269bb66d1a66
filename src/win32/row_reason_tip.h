#pragma once
// A failed row's reason shown beside its status cell on request, for anyone
// without a mouse: a tooltip as the pointer's shows it, placed at the cell
// instead of the pointer and kept until the user moves on.

#include <windows.h>

#include <string>

namespace mirvane::win32 {

class RowReasonTip {
public:
    // The tip of list (a report-view list view), owned by owner and
    // destroyed with it.
    void create(HWND owner, HWND list);
    void setMaxWidth(int pixels);
    // Shows text under the status cell of row, scrolled into view.
    void show(int row, const std::wstring& text);
    void hide();
    // The text shown; empty while hidden.
    std::wstring shownText() const { return m_shown ? m_text : std::wstring(); }

private:
    HWND m_tip = nullptr;
    HWND m_list = nullptr;
    std::wstring m_text;
    bool m_shown = false;
};

}  // namespace mirvane::win32
