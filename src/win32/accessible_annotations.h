#pragma once
// Names and descriptions for controls whose accessible objects, made by the
// system, would otherwise have none: set through the system's annotation
// service, which its own objects consult. Where the service is missing
// (Wine has none) nothing is annotated and the system's objects answer alone.

#include <windows.h>

#include <oleacc.h>

#include <string>

namespace mirvane::win32 {

class AccessibleAnnotations {
public:
    AccessibleAnnotations() = default;
    ~AccessibleAnnotations();
    AccessibleAnnotations(const AccessibleAnnotations&) = delete;
    AccessibleAnnotations& operator=(const AccessibleAnnotations&) = delete;

    void setName(HWND control, const std::wstring& name) {
        set(control, CHILDID_SELF, PROPID_ACC_NAME, name);
    }
    // child: the control's item, 1 for the first; an empty text takes the
    // annotation away, and the system's own description is back.
    void setDescription(HWND control, LONG child, const std::wstring& text) {
        set(control, child, PROPID_ACC_DESCRIPTION, text);
    }

private:
    void set(HWND control, LONG child, const MSAAPROPID& property, const std::wstring& text);

    // Made at the first use, when COM is there on the window's thread.
    IAccPropServices* m_services = nullptr;
    bool m_asked = false;
};

}  // namespace mirvane::win32
