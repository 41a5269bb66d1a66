#include "win32/batch_end_notice.h"

#include <algorithm>
#include <iterator>
#include <string_view>

namespace mirvane::win32 {

namespace {

// The program has one icon in the notification area.
constexpr UINT kIconId = 1;

NOTIFYICONDATAW iconData(HWND window) {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window;
    data.uID = kIconId;
    return data;
}

// Copies as much of text as a buffer of size characters holds with its
// closing NUL, never half of a surrogate pair.
void copyFitted(std::wstring_view text, wchar_t* buffer, std::size_t size) {
    std::size_t length = std::min(text.size(), size - 1);
    // A high surrogate at the cut would stand alone without its low half.
    if (length < text.size() && length > 0 && text[length - 1] >= 0xD800 && text[length - 1] <= 0xDBFF)
        --length;
    std::copy_n(text.data(), length, buffer);
    buffer[length] = L'\0';
}

}  // namespace

void BatchEndNotice::announce(HWND window, const std::wstring& title, const std::wstring& text) {
    NOTIFYICONDATAW data = iconData(window);
    data.uFlags = NIF_ICON | NIF_MESSAGE | NIF_TIP | NIF_SHOWTIP | NIF_INFO;
    data.uCallbackMessage = kNotifyIconMessage;
    // The window's own icons, at its dpi: the small one in the notification
    // area, the large one in the balloon.
    data.hIcon = reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, ICON_SMALL, 0));
    data.hBalloonIcon = reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, ICON_BIG, 0));
    data.dwInfoFlags = data.hBalloonIcon ? NIIF_USER | NIIF_LARGE_ICON : NIIF_INFO;
    if (!data.hIcon) data.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    copyFitted(title, data.szTip, std::size(data.szTip));
    copyFitted(title, data.szInfoTitle, std::size(data.szInfoTitle));
    copyFitted(text, data.szInfo, std::size(data.szInfo));
    // A balloon still shown from the last batch takes the new texts; an
    // icon a restarted Explorer forgot is added again.
    if (!(m_shown && m_shell.notifyIcon(NIM_MODIFY, data))) {
        m_shown = m_shell.notifyIcon(NIM_ADD, data);
        // Version 4: the events name themselves in lParam's low word.
        data.uVersion = NOTIFYICON_VERSION_4;
        if (m_shown) m_shell.notifyIcon(NIM_SETVERSION, data);
    }
    m_shell.flash(window);
}

void BatchEndNotice::iconEvent(HWND window, LPARAM event) {
    switch (LOWORD(event)) {
        case NIN_BALLOONUSERCLICK:
            remove(window);
            m_bringForward();
            break;
        case NIN_BALLOONTIMEOUT:
        case NIN_BALLOONHIDE:
            remove(window);
            break;
    }
}

void BatchEndNotice::remove(HWND window) {
    if (!m_shown) return;
    m_shown = false;
    m_shell.notifyIcon(NIM_DELETE, iconData(window));
}

}  // namespace mirvane::win32
