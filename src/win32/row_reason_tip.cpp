#include "win32/row_reason_tip.h"

#include <commctrl.h>

namespace mirvane::win32 {

namespace {

// The one tool of the tip, placed by the tip's owner rather than the pointer.
TTTOOLINFOW toolOf(HWND list, wchar_t* text) {
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_TRACK | TTF_ABSOLUTE;
    tool.hwnd = list;
    tool.uId = 1;
    tool.lpszText = text;
    return tool;
}

}  // namespace

void RowReasonTip::create(HWND owner, HWND list) {
    m_list = list;
    m_tip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                            0, 0, 0, 0, owner, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!m_tip) return;
    TTTOOLINFOW tool = toolOf(m_list, const_cast<wchar_t*>(L""));
    SendMessageW(m_tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void RowReasonTip::setMaxWidth(int pixels) {
    if (m_tip) SendMessageW(m_tip, TTM_SETMAXTIPWIDTH, 0, pixels);
}

void RowReasonTip::show(int row, const std::wstring& text) {
    if (!m_tip) return;
    SendMessageW(m_list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
    RECT cell{LVIR_BOUNDS, 1, 0, 0};  // left: the part, top: the column
    SendMessageW(m_list, LVM_GETSUBITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&cell));
    POINT below{cell.left, cell.bottom};
    ClientToScreen(m_list, &below);
    m_text = text;
    TTTOOLINFOW tool = toolOf(m_list, m_text.data());
    SendMessageW(m_tip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    SendMessageW(m_tip, TTM_TRACKPOSITION, 0, MAKELPARAM(below.x, below.y));
    SendMessageW(m_tip, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
    m_shown = true;
}

void RowReasonTip::hide() {
    if (!m_shown) return;
    m_shown = false;
    TTTOOLINFOW tool = toolOf(m_list, nullptr);
    SendMessageW(m_tip, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool));
}

}  // namespace mirvane::win32
