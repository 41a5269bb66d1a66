#include "win32/win32_ui_thread.h"

#include <algorithm>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "engine/platform/win32/wide_text.h"

namespace mirvane::win32 {

namespace {

constexpr wchar_t kClassName[] = L"Mirvane.UiThread";
constexpr UINT kRunQueued = WM_APP + 1;

}  // namespace

Win32UiThread::Win32UiThread() {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &Win32UiThread::windowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kClassName;
    // A second dispatcher in the same process finds the class registered.
    if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        throw std::system_error(platform::win32::lastError(), "RegisterClassExW");
    m_window = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               GetModuleHandleW(nullptr), this);
    if (!m_window) throw std::system_error(platform::win32::lastError(), "CreateWindowExW");
}

Win32UiThread::~Win32UiThread() { DestroyWindow(m_window); }

LRESULT CALLBACK Win32UiThread::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<Win32UiThread*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else if (message == kRunQueued) {
        reinterpret_cast<Win32UiThread*>(GetWindowLongPtrW(window, GWLP_USERDATA))->runQueued();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// One message stands for the whole queue: a worker that posts faster than
// the UI thread runs can never fill the thread's message queue (10,000
// messages), and every call runs in the order it was posted.
void Win32UiThread::post(std::function<void()> fn) {
    bool wasEmpty;
    {
        std::lock_guard lock(m_mutex);
        wasEmpty = m_queue.empty();
        m_queue.push_back(std::move(fn));
    }
    if (wasEmpty && !PostMessageW(m_window, kRunQueued, 0, 0))
        throw std::system_error(platform::win32::lastError(), "PostMessageW");
}

void Win32UiThread::runQueued() {
    std::deque<std::function<void()>> batch;
    {
        std::lock_guard lock(m_mutex);
        batch.swap(m_queue);
    }
    for (std::function<void()>& fn : batch) fn();
}

void Win32UiThread::invoke(std::function<void()> fn) {
    std::mutex doneMutex;
    std::condition_variable doneSignal;
    bool done = false;
    post([&] {
        fn();
        std::lock_guard lock(doneMutex);
        done = true;
        doneSignal.notify_one();
    });
    std::unique_lock lock(doneMutex);
    doneSignal.wait(lock, [&] { return done; });
}

void Win32UiThread::dispatch(MSG& message) {
    if (m_filter && m_filter(message)) return;
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

bool Win32UiThread::handlePending() {
    bool any = false;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        any = true;
        // The loop that waits for the end of a job goes on handling messages
        // after a quit; run() ends once control is back with it.
        if (message.message == WM_QUIT)
            m_quitCode = static_cast<int>(message.wParam);
        else
            dispatch(message);
    }
    return any;
}

void Win32UiThread::processEvents(std::optional<std::chrono::milliseconds> wait) {
    if (handlePending()) return;
    DWORD timeout = INFINITE;
    if (wait) timeout = static_cast<DWORD>(std::clamp<long long>(wait->count(), 0, INFINITE - 1));
    // MWMO_INPUTAVAILABLE: a message that came in while the queue was being
    // emptied ends the wait at once instead of waiting for one more.
    MsgWaitForMultipleObjectsEx(0, nullptr, timeout, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    handlePending();
}

int Win32UiThread::run() {
    while (!m_quitCode) {
        MSG message;
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == -1) throw std::system_error(platform::win32::lastError(), "GetMessageW");
        if (got == 0) {
            m_quitCode = static_cast<int>(message.wParam);
            break;
        }
        dispatch(message);
    }
    return *std::exchange(m_quitCode, std::nullopt);
}

}  // namespace mirvane::win32
