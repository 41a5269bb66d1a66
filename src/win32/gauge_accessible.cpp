#include "win32/gauge_accessible.h"

#include <string>

#include "engine/platform/win32/wide_text.h"
#include "engine/texts/texts.h"

namespace mirvane::win32 {

namespace {

bool isSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

}  // namespace

GaugeAccessible* GaugeAccessible::create(HWND window, std::function<int()> percent) {
    IAccessible* standard = nullptr;
    if (FAILED(CreateStdAccessibleObject(window, OBJID_CLIENT, __uuidof(IAccessible),
                                         reinterpret_cast<void**>(&standard))))
        return nullptr;
    return new GaugeAccessible(standard, std::move(percent));
}

void GaugeAccessible::disconnect() {
    if (m_standard) m_standard->Release();
    m_standard = nullptr;
    m_percent = nullptr;
}

HRESULT GaugeAccessible::QueryInterface(REFIID id, void** object) {
    if (!object) return E_POINTER;
    if (id == __uuidof(IUnknown) || id == __uuidof(IDispatch) || id == __uuidof(IAccessible)) {
        *object = static_cast<IAccessible*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG GaugeAccessible::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&m_references)); }

ULONG GaugeAccessible::Release() {
    const LONG left = InterlockedDecrement(&m_references);
    if (left == 0) {
        disconnect();
        delete this;
    }
    return static_cast<ULONG>(left);
}

HRESULT GaugeAccessible::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}
HRESULT GaugeAccessible::GetTypeInfo(UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }
HRESULT GaugeAccessible::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }
HRESULT GaugeAccessible::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
    return E_NOTIMPL;
}

HRESULT GaugeAccessible::get_accRole(VARIANT child, VARIANT* role) {
    if (!m_standard) return RPC_E_DISCONNECTED;
    if (!isSelf(child)) return E_INVALIDARG;
    role->vt = VT_I4;
    role->lVal = ROLE_SYSTEM_PROGRESSBAR;
    return S_OK;
}

HRESULT GaugeAccessible::get_accName(VARIANT child, BSTR* name) {
    if (!m_standard) return RPC_E_DISCONNECTED;
    if (!isSelf(child)) return E_INVALIDARG;
    *name = SysAllocString(platform::win32::toWide(texts::kGaugeName).c_str());
    return *name ? S_OK : E_OUTOFMEMORY;
}

// As the gauge writes it, "42%".
HRESULT GaugeAccessible::get_accValue(VARIANT child, BSTR* value) {
    if (!m_standard) return RPC_E_DISCONNECTED;
    if (!isSelf(child)) return E_INVALIDARG;
    *value = SysAllocString((std::to_wstring(m_percent()) + L"%").c_str());
    return *value ? S_OK : E_OUTOFMEMORY;
}

// The user reads the value and cannot change it.
HRESULT GaugeAccessible::get_accState(VARIANT child, VARIANT* state) {
    if (!m_standard) return RPC_E_DISCONNECTED;
    const HRESULT result = m_standard->get_accState(child, state);
    if (SUCCEEDED(result) && isSelf(child) && state->vt == VT_I4) state->lVal |= STATE_SYSTEM_READONLY;
    return result;
}

// The rest is any window's, answered by the standard object.
HRESULT GaugeAccessible::get_accParent(IDispatch** parent) {
    return standard([&](IAccessible& s) { return s.get_accParent(parent); });
}
HRESULT GaugeAccessible::get_accChildCount(LONG* count) {
    return standard([&](IAccessible& s) { return s.get_accChildCount(count); });
}
HRESULT GaugeAccessible::get_accChild(VARIANT child, IDispatch** object) {
    return standard([&](IAccessible& s) { return s.get_accChild(child, object); });
}
HRESULT GaugeAccessible::get_accDescription(VARIANT child, BSTR* description) {
    return standard([&](IAccessible& s) { return s.get_accDescription(child, description); });
}
HRESULT GaugeAccessible::get_accHelp(VARIANT child, BSTR* help) {
    return standard([&](IAccessible& s) { return s.get_accHelp(child, help); });
}
HRESULT GaugeAccessible::get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) {
    return standard([&](IAccessible& s) { return s.get_accHelpTopic(file, child, topic); });
}
HRESULT GaugeAccessible::get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) {
    return standard([&](IAccessible& s) { return s.get_accKeyboardShortcut(child, shortcut); });
}
HRESULT GaugeAccessible::get_accFocus(VARIANT* child) {
    return standard([&](IAccessible& s) { return s.get_accFocus(child); });
}
HRESULT GaugeAccessible::get_accSelection(VARIANT* children) {
    return standard([&](IAccessible& s) { return s.get_accSelection(children); });
}
HRESULT GaugeAccessible::get_accDefaultAction(VARIANT child, BSTR* action) {
    return standard([&](IAccessible& s) { return s.get_accDefaultAction(child, action); });
}
HRESULT GaugeAccessible::accSelect(LONG flags, VARIANT child) {
    return standard([&](IAccessible& s) { return s.accSelect(flags, child); });
}
HRESULT GaugeAccessible::accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT child) {
    return standard([&](IAccessible& s) { return s.accLocation(left, top, width, height, child); });
}
HRESULT GaugeAccessible::accNavigate(LONG direction, VARIANT start, VARIANT* end) {
    return standard([&](IAccessible& s) { return s.accNavigate(direction, start, end); });
}
HRESULT GaugeAccessible::accHitTest(LONG left, LONG top, VARIANT* child) {
    return standard([&](IAccessible& s) { return s.accHitTest(left, top, child); });
}
HRESULT GaugeAccessible::accDoDefaultAction(VARIANT child) {
    return standard([&](IAccessible& s) { return s.accDoDefaultAction(child); });
}
HRESULT GaugeAccessible::put_accName(VARIANT child, BSTR name) {
    return standard([&](IAccessible& s) { return s.put_accName(child, name); });
}
HRESULT GaugeAccessible::put_accValue(VARIANT child, BSTR value) {
    return standard([&](IAccessible& s) { return s.put_accValue(child, value); });
}

}  // namespace mirvane::win32
