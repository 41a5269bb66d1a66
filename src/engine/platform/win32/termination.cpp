// Windows sends a program with a window no signal to end: the session's end
// comes to the window as WM_QUERYENDSESSION and WM_ENDSESSION, which the
// window hands to the engine itself. A console program is told by the
// console, on a thread of the system's, through its control handler.

#include <windows.h>

#include "engine/platform/termination.h"

namespace mirvane::platform {

namespace {

HANDLE g_request = nullptr;

BOOL WINAPI onConsoleControl(DWORD event) {
    SetEvent(g_request);
    // The process ends as soon as the handler returns from a closing
    // console, a logoff or a shutdown: it waits while the program stops its
    // encoders (they are killed within 2.5 s of a stop), short of the 5 s
    // the system allows.
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) Sleep(4000);
    return TRUE;
}

}  // namespace

int catchTerminationRequests() { return -1; }

bool takeTerminationRequests() { return false; }

bool waitForTerminationRequest(std::chrono::milliseconds timeout) {
    if (!g_request) {
        g_request = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        if (!g_request || !SetConsoleCtrlHandler(onConsoleControl, TRUE)) return false;
    }
    return WaitForSingleObject(g_request, static_cast<DWORD>(timeout.count())) == WAIT_OBJECT_0;
}

}  // namespace mirvane::platform
