#include "win32/taskbar_progress.h"

#include <algorithm>

namespace mirvane::win32 {

void TaskbarProgressButton::buttonCreated(HWND window) {
    m_list = m_shell.openTaskbarList();
    apply(window);
}

void TaskbarProgressButton::show(HWND window, const TaskbarProgress& progress) {
    m_progress = progress;
    apply(window);
}

void TaskbarProgressButton::apply(HWND window) {
    if (!m_list) return;
    if (m_progress.state == TaskbarProgress::State::Hidden) {
        m_list->setProgressState(window, TBPF_NOPROGRESS);
        return;
    }
    m_list->setProgressState(window,
                             m_progress.state == TaskbarProgress::State::Error ? TBPF_ERROR : TBPF_NORMAL);
    m_list->setProgressValue(window, static_cast<ULONGLONG>(std::clamp(m_progress.percent, 0, 100)), 100);
}

}  // namespace mirvane::win32
