#include "win32/accessible_annotations.h"

namespace mirvane::win32 {

AccessibleAnnotations::~AccessibleAnnotations() {
    if (m_services) m_services->Release();
}

void AccessibleAnnotations::set(HWND control, LONG child, const MSAAPROPID& property,
                                const std::wstring& text) {
    if (!m_asked) {
        m_asked = true;
        if (FAILED(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_IAccPropServices, reinterpret_cast<void**>(&m_services))))
            m_services = nullptr;
    }
    if (!m_services) return;
    MSAAPROPID properties[] = {property};
    if (text.empty())
        m_services->ClearHwndProps(control, static_cast<DWORD>(OBJID_CLIENT), static_cast<DWORD>(child),
                                   properties, 1);
    else
        m_services->SetHwndPropStr(control, static_cast<DWORD>(OBJID_CLIENT), static_cast<DWORD>(child),
                                   property, text.c_str());
}

}  // namespace mirvane::win32
