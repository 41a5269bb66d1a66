#pragma once
// The desktop's services around a batch for the Win32 window: the computer
// kept awake, the progress on the taskbar button, the balloon at the end.

#include <windows.h>

#include <functional>
#include <string>

#include "engine/desktop/desktop_services.h"
#include "win32/batch_end_notice.h"
#include "win32/desktop_shell.h"
#include "win32/taskbar_progress.h"

namespace mirvane::win32 {

class Win32DesktopServices final : public DesktopServices {
public:
    // window is read at each call, so the window may be created later.
    Win32DesktopServices(const HWND& window, DesktopShell& shell, std::function<void()> bringForward);
    ~Win32DesktopServices() override;
    Win32DesktopServices(const Win32DesktopServices&) = delete;
    Win32DesktopServices& operator=(const Win32DesktopServices&) = delete;

    void keepSystemAwake(bool awake) override;
    void showTaskbarProgress(const TaskbarProgress& progress) override;
    bool windowIsActive() const override;
    void announceBatchEnd(const std::string& title, const std::string& text) override;

    // Once the window exists: lets the shell's messages through to it.
    void windowCreated();
    // The shell's messages to the window; true when one was handled.
    bool handleMessage(UINT message, LPARAM lParam);
    // Nothing of a batch outlives the window: the computer may sleep again,
    // the taskbar's list is released and the icon goes.
    void windowDestroyed();

private:
    const HWND& m_window;
    UINT m_taskbarButtonCreated;
    HRESULT m_com;
    TaskbarProgressButton m_taskbar;
    BatchEndNotice m_notice;
};

}  // namespace mirvane::win32
