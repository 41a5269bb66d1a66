#pragma once
// The word at the end of a batch: a balloon from an icon in the notification
// area (a toast on Windows 10 and 11) and the taskbar button flashing. The
// icon is there only while its balloon is: it goes when the balloon is
// clicked, times out or is closed, and with the window.

#include <windows.h>

#include <functional>
#include <string>
#include <utility>

#include "win32/desktop_shell.h"

namespace mirvane::win32 {

// The message the icon's events come to the window with.
inline constexpr UINT kNotifyIconMessage = WM_APP + 2;

class BatchEndNotice {
public:
    // bringForward: what a click on the balloon does with the window.
    BatchEndNotice(DesktopShell& shell, std::function<void()> bringForward)
        : m_shell(shell), m_bringForward(std::move(bringForward)) {}

    void announce(HWND window, const std::wstring& title, const std::wstring& text);
    // One of the icon's events (kNotifyIconMessage's lParam).
    void iconEvent(HWND window, LPARAM event);
    void remove(HWND window);

private:
    DesktopShell& m_shell;
    std::function<void()> m_bringForward;
    bool m_shown = false;
};

}  // namespace mirvane::win32
