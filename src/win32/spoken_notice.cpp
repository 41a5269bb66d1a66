#include "win32/spoken_notice.h"

#include <oleacc.h>
#include <oleauto.h>

namespace mirvane::win32 {

namespace {

// UI Automation's values (uiautomationcore.h of Windows 10 1709): an event
// that is neither an item's nor an action's, and every one of them said in
// turn, none dropped for a later one.
constexpr int kNotificationKindOther = 4;
constexpr int kNotificationProcessingAll = 2;

}  // namespace

SpokenNotice::~SpokenNotice() {
    if (m_automation) FreeLibrary(m_automation);
}

bool SpokenNotice::hasNotificationEvent() {
    if (!m_looked) {
        m_looked = true;
        m_automation = LoadLibraryExW(L"uiautomationcore.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (m_automation) {
            m_hostProvider = reinterpret_cast<HostProvider>(
                reinterpret_cast<void*>(GetProcAddress(m_automation, "UiaHostProviderFromHwnd")));
            m_raiseNotification = reinterpret_cast<RaiseNotification>(
                reinterpret_cast<void*>(GetProcAddress(m_automation, "UiaRaiseNotificationEvent")));
        }
    }
    return m_hostProvider && m_raiseNotification;
}

bool SpokenNotice::raiseNotification(HWND window, const std::wstring& text) {
    if (!hasNotificationEvent()) return false;
    IUnknown* provider = nullptr;
    if (FAILED(m_hostProvider(window, &provider)) || !provider) return false;
    BSTR words = SysAllocString(text.c_str());
    BSTR activity = SysAllocString(L"Mirvane");
    const HRESULT raised =
        m_raiseNotification(provider, kNotificationKindOther, kNotificationProcessingAll, words, activity);
    SysFreeString(activity);
    SysFreeString(words);
    provider->Release();
    return SUCCEEDED(raised);
}

void SpokenNotice::say(HWND window, const std::wstring& text) {
    if (text.empty()) return;
    if (!m_alert) {
        // Shown but of no size: an object a reader takes as there, drawing nothing.
        m_alert = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_NOPREFIX, 0, 0, 0, 0, window,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    if (m_alert) SetWindowTextW(m_alert, text.c_str());
    if (raiseNotification(window, text)) return;
    if (m_alert) NotifyWinEvent(EVENT_SYSTEM_ALERT, m_alert, OBJID_CLIENT, CHILDID_SELF);
}

}  // namespace mirvane::win32
