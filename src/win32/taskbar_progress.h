#pragma once
// The batch's progress on the window's taskbar button: the gauge's value, red
// once a row has failed, nothing when idle.

#include <windows.h>

#include <memory>

#include "engine/desktop/desktop_services.h"
#include "win32/desktop_shell.h"

namespace mirvane::win32 {

class TaskbarProgressButton {
public:
    explicit TaskbarProgressButton(DesktopShell& shell) : m_shell(shell) {}

    // The shell has made the window's button, at its first showing or again
    // after Explorer restarted: only from then on does the taskbar take
    // calls for it, and a restarted one has forgotten what it showed.
    void buttonCreated(HWND window);
    void show(HWND window, const TaskbarProgress& progress);
    // The taskbar's list goes before the window and COM do.
    void release() { m_list.reset(); }

private:
    void apply(HWND window);

    DesktopShell& m_shell;
    std::unique_ptr<TaskbarList> m_list;
    TaskbarProgress m_progress;
};

}  // namespace mirvane::win32
