#include "win32/win32_desktop_services.h"

#include <utility>

#include "engine/platform/win32/wide_text.h"

namespace mirvane::win32 {

using platform::win32::toWide;

// The taskbar's list is a COM object of the UI thread's apartment.
Win32DesktopServices::Win32DesktopServices(const HWND& window, DesktopShell& shell,
                                           std::function<void()> bringForward)
    : m_window(window),
      m_taskbarButtonCreated(RegisterWindowMessageW(L"TaskbarButtonCreated")),
      m_com(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)),
      m_taskbar(shell),
      m_notice(shell, std::move(bringForward)) {}

Win32DesktopServices::~Win32DesktopServices() {
    m_taskbar.release();
    if (SUCCEEDED(m_com)) CoUninitialize();
}

// The state belongs to the calling thread: the UI thread both sets and
// clears it, and it ends with the thread at the latest.
void Win32DesktopServices::keepSystemAwake(bool awake) {
    SetThreadExecutionState(awake ? ES_CONTINUOUS | ES_SYSTEM_REQUIRED : ES_CONTINUOUS);
}

void Win32DesktopServices::showTaskbarProgress(const TaskbarProgress& progress) {
    m_taskbar.show(m_window, progress);
}

// The foreground window's root owner, so that a message box of the window's
// own counts as the window; GetActiveWindow would name the thread's last
// active window even while the user works in another program.
bool Win32DesktopServices::windowIsActive() const {
    HWND foreground = GetForegroundWindow();
    return foreground && GetAncestor(foreground, GA_ROOTOWNER) == m_window;
}

void Win32DesktopServices::announceBatchEnd(const std::string& title, const std::string& text) {
    m_notice.announce(m_window, toWide(title), toWide(text));
}

// An elevated window hears from the shell, which runs at a lower level, only
// what it lets through; for any other window the filter changes nothing.
void Win32DesktopServices::windowCreated() {
    for (UINT message : {m_taskbarButtonCreated, kNotifyIconMessage})
        ChangeWindowMessageFilterEx(m_window, message, MSGFLT_ALLOW, nullptr);
}

bool Win32DesktopServices::handleMessage(UINT message, LPARAM lParam) {
    if (message == m_taskbarButtonCreated && message != 0) {
        m_taskbar.buttonCreated(m_window);
        return true;
    }
    if (message == kNotifyIconMessage) {
        m_notice.iconEvent(m_window, lParam);
        return true;
    }
    return false;
}

void Win32DesktopServices::windowDestroyed() {
    keepSystemAwake(false);
    m_taskbar.release();
    m_notice.remove(m_window);
}

}  // namespace mirvane::win32
