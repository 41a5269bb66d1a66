#pragma once
// Words for assistive technology alone, said wherever the focus is. Where the
// system has UI Automation's notification event (Windows 10 1709 and later),
// it is raised on the window's own element; the function is looked up when
// first needed, so the program still starts where it is missing. There, as
// under Wine, the words are the text of a hidden static control that raises
// the MSAA alert event, which Windows readers speak for the object.

#include <windows.h>

#include <string>

namespace mirvane::win32 {

class SpokenNotice {
public:
    SpokenNotice() = default;
    ~SpokenNotice();
    SpokenNotice(const SpokenNotice&) = delete;
    SpokenNotice& operator=(const SpokenNotice&) = delete;

    void say(HWND window, const std::wstring& text);
    // The static control that holds the last words; none before the first.
    HWND alertControl() const { return m_alert; }
    // Whether the system has UI Automation's notification event.
    bool hasNotificationEvent();

private:
    bool raiseNotification(HWND window, const std::wstring& text);

    using HostProvider = HRESULT(WINAPI*)(HWND, IUnknown**);
    using RaiseNotification = HRESULT(WINAPI*)(IUnknown*, int, int, BSTR, BSTR);
    bool m_looked = false;
    HMODULE m_automation = nullptr;
    HostProvider m_hostProvider = nullptr;
    RaiseNotification m_raiseNotification = nullptr;
    HWND m_alert = nullptr;
};

}  // namespace mirvane::win32
