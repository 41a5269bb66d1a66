#include "win32/support/window_fixture.h"

#include <commctrl.h>
#include <oleacc.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "engine/platform/win32/wide_text.h"

namespace mirvane::win32::test {

ProgramFolder::ProgramFolder(const char* settings, bool withEncoder) {
    if (settings) dir.write("MovieSet.ini", settings);
    if (withEncoder) {
        std::filesystem::create_directory(dir.file("ffmpeg"));
        std::filesystem::copy_file(MIRVANE_FAKE_ENCODER, dir.file("ffmpeg\\ffmpeg.exe"));
    }
    paths = AppPaths::fromExecutable(dir.file("Mirvane.exe"));
}

bool pumpUntil(MainWindow& form, const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        form.uiThread().processEvents(std::chrono::milliseconds(10));
    }
    return true;
}

void pump(MainWindow& form) {
    for (int i = 0; i < 3; ++i) form.uiThread().processEvents(std::chrono::milliseconds(0));
}

Form::Form(const ProgramFolder& folder, const std::vector<std::string>& files, bool shown, DesktopShell& shell)
    : window(std::make_unique<MainWindow>(flags, folder.paths, files, messages, shell)) {
    if (shown) {
        window->show();
        pump(*window);
    }
}

std::vector<std::wstring> Form::column(int index) const {
    std::vector<std::wstring> texts;
    for (int row = 0; row < rowCount(); ++row) {
        wchar_t buffer[1024] = {};
        LVITEMW item{};
        item.iSubItem = index;
        item.pszText = buffer;
        item.cchTextMax = 1024;
        SendMessageW(controls().jobList, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
        texts.emplace_back(buffer);
    }
    return texts;
}

int Form::rowCount() const {
    return static_cast<int>(SendMessageW(controls().jobList, LVM_GETITEMCOUNT, 0, 0));
}

std::wstring windowText(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

RECT placeInParent(HWND window) {
    RECT rect;
    GetWindowRect(window, &rect);
    MapWindowPoints(HWND_DESKTOP, GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

HDROP makeDrop(const std::vector<std::wstring>& paths) {
    std::size_t characters = 2;  // the list's closing NUL, and one more for an empty list
    for (const std::wstring& path : paths) characters += path.size() + 1;
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + characters * sizeof(wchar_t));
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    auto* text = reinterpret_cast<wchar_t*>(reinterpret_cast<char*>(drop) + sizeof(DROPFILES));
    for (const std::wstring& path : paths) {
        std::memcpy(text, path.c_str(), (path.size() + 1) * sizeof(wchar_t));
        text += path.size() + 1;
    }
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

HDROP makeAnsiDrop(const std::vector<std::string>& paths) {
    std::size_t bytes = 2;
    for (const std::string& path : paths) bytes += path.size() + 1;
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + bytes);
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = FALSE;
    char* text = reinterpret_cast<char*>(drop) + sizeof(DROPFILES);
    for (const std::string& path : paths) {
        std::memcpy(text, path.c_str(), path.size() + 1);
        text += path.size() + 1;
    }
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

void pressKey(HWND target, WORD key, bool shift, bool control) {
    BYTE state[256] = {};
    GetKeyboardState(state);
    auto hold = [&](int which, bool down) { state[which] = down ? 0x80 : 0; };
    hold(VK_SHIFT, shift);
    hold(VK_LSHIFT, shift);
    hold(VK_CONTROL, control);
    hold(VK_LCONTROL, control);
    SetKeyboardState(state);
    const UINT scan = MapVirtualKeyW(key, MAPVK_VK_TO_VSC);
    SendMessageW(target, WM_KEYDOWN, key, 1 | (scan << 16));
    SendMessageW(target, WM_KEYUP, key, 1 | (scan << 16) | (3u << 30));
    hold(VK_SHIFT, false);
    hold(VK_LSHIFT, false);
    hold(VK_CONTROL, false);
    hold(VK_LCONTROL, false);
    SetKeyboardState(state);
}

void postKey(MainWindow& form, HWND target, WORD key, bool shift, bool control) {
    BYTE state[256] = {};
    GetKeyboardState(state);
    state[VK_SHIFT] = state[VK_LSHIFT] = shift ? 0x80 : 0;
    state[VK_CONTROL] = state[VK_LCONTROL] = control ? 0x80 : 0;
    SetKeyboardState(state);
    const UINT scan = MapVirtualKeyW(key, MAPVK_VK_TO_VSC);
    const bool system = key == VK_F10;
    PostMessageW(target, system ? WM_SYSKEYDOWN : WM_KEYDOWN, key, 1 | (scan << 16));
    PostMessageW(target, system ? WM_SYSKEYUP : WM_KEYUP, key, 1 | (scan << 16) | (3u << 30));
    pump(form);
    state[VK_SHIFT] = state[VK_LSHIFT] = state[VK_CONTROL] = state[VK_LCONTROL] = 0;
    SetKeyboardState(state);
}

Accessible askAccessible(HWND window) {
    IAccessible* object = nullptr;
    Accessible asked;
    if (FAILED(AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                          reinterpret_cast<void**>(&object))))
        return asked;
    VARIANT self{}, role{};
    self.vt = VT_I4;
    if (SUCCEEDED(object->get_accRole(self, &role))) asked.role = role.lVal;
    for (auto [get, text] :
         {std::pair{&IAccessible::get_accName, &asked.name}, {&IAccessible::get_accValue, &asked.value}}) {
        BSTR got = nullptr;
        if ((object->*get)(self, &got) == S_OK && got) *text = got;
        SysFreeString(got);
    }
    object->Release();
    return asked;
}

namespace {

HWND g_eventsOf = nullptr;
const std::vector<DWORD>* g_kinds = nullptr;
RaisedEvents g_raised;

void CALLBACK recordEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD, DWORD) {
    if (window == g_eventsOf && object == OBJID_CLIENT && std::ranges::count(*g_kinds, event))
        g_raised.emplace_back(event, child);
}

}  // namespace

RaisedEvents eventsDuring(MainWindow& form, HWND window, const std::vector<DWORD>& kinds,
                          const std::function<void()>& action) {
    g_eventsOf = window;
    g_kinds = &kinds;
    g_raised.clear();
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_MIN, EVENT_MAX, nullptr, &recordEvent, GetCurrentProcessId(),
                                         GetCurrentThreadId(), WINEVENT_OUTOFCONTEXT);
    action();
    pump(form);  // the events come as messages
    UnhookWinEvent(hook);
    return g_raised;
}

void selectRows(HWND list, const std::vector<int>& rows) {
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
    state.state = LVIS_SELECTED;
    for (int row : rows) SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
}

std::wstring wide(const std::string& utf8) { return platform::win32::toWide(utf8); }

}  // namespace mirvane::win32::test
