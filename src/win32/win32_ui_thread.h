#pragma once
// The engine's way onto the UI thread over the Win32 message queue. Create
// it on the UI thread: calls from workers are queued to the thread that
// created it, through a message-only window of its own.

#include <windows.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>

#include "engine/desktop/ui_thread.h"

namespace mirvane::win32 {

class Win32UiThread : public UiThread {
public:
    Win32UiThread();
    ~Win32UiThread() override;
    Win32UiThread(const Win32UiThread&) = delete;
    Win32UiThread& operator=(const Win32UiThread&) = delete;

    void invoke(std::function<void()> fn) override;
    void post(std::function<void()> fn) override;
    // Sleeps in MsgWaitForMultipleObjectsEx until a message or the wait's
    // end: never spins, whatever the batch waits for.
    void processEvents(std::optional<std::chrono::milliseconds> wait) override;

    // Runs the message loop until WM_QUIT; returns the quit's exit code.
    int run();
    // Sees every message this thread's loops take from the queue before it
    // is dispatched; returns true for a message it has handled itself (the
    // dialog keys: Tab between the controls).
    void setMessageFilter(std::function<bool(MSG&)> filter) { m_filter = std::move(filter); }

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void runQueued();
    // Handles every message in the queue; false when there was none.
    bool handlePending();
    void dispatch(MSG& message);

    HWND m_window = nullptr;
    std::function<bool(MSG&)> m_filter;
    std::mutex m_mutex;
    std::deque<std::function<void()>> m_queue;
    // A quit that a nested loop took from the queue, kept for the outer one.
    std::optional<int> m_quitCode;
};

}  // namespace mirvane::win32
