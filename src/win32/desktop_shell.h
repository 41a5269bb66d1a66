#pragma once
// The shell's calls behind the window's desktop services: the taskbar
// button's progress, the notification-area icon and the button's flashing.
// Tests replace it, as Wine has no taskbar that shows what it is asked.

#include <windows.h>

#include <shellapi.h>
#include <shobjidl.h>

#include <memory>

namespace mirvane::win32 {

// The two calls of ITaskbarList3 the progress needs.
class TaskbarList {
public:
    virtual ~TaskbarList() = default;
    virtual void setProgressState(HWND window, TBPFLAG state) = 0;
    virtual void setProgressValue(HWND window, ULONGLONG completed, ULONGLONG total) = 0;
};

class DesktopShell {
public:
    virtual ~DesktopShell() = default;
    // The taskbar's list, or nothing where the shell offers none. COM must
    // be initialised on the calling thread.
    virtual std::unique_ptr<TaskbarList> openTaskbarList() = 0;
    virtual bool notifyIcon(DWORD message, const NOTIFYICONDATAW& data) = 0;
    // The taskbar button asks for attention until the window comes forward.
    virtual void flash(HWND window) = 0;
};

// The system's shell.
DesktopShell& systemDesktopShell();

}  // namespace mirvane::win32
