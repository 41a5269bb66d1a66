// What the Win32 window's desktop services ask of the system. Wine's taskbar
// shows nothing, so the shell's calls are recorded through the seam; the
// execution state and the icon are also asked of Wine itself.

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "win32/batch_end_notice.h"
#include "win32/support/window_fixture.h"

namespace mirvane::win32::test {
namespace {

using Calls = std::vector<std::string>;
using State = TaskbarProgress::State;

struct RecordingShell : DesktopShell {
    struct List : TaskbarList {
        explicit List(Calls& calls) : calls(calls) {}
        ~List() override { calls.push_back("released"); }
        void setProgressState(HWND, TBPFLAG state) override {
            calls.push_back(state == TBPF_NOPROGRESS ? "none" : state == TBPF_ERROR ? "error" : "normal");
        }
        void setProgressValue(HWND, ULONGLONG done, ULONGLONG total) override {
            calls.push_back(std::to_string(done) + "/" + std::to_string(total));
        }
        Calls& calls;
    };
    std::unique_ptr<TaskbarList> openTaskbarList() override {
        calls.push_back("open");
        return std::make_unique<List>(calls);
    }
    bool notifyIcon(DWORD message, const NOTIFYICONDATAW& data) override {
        const char* const names[] = {"add", "modify", "delete", "focus", "version"};
        calls.push_back(names[message]);
        if (message == NIM_ADD) added = data;
        return true;
    }
    void flash(HWND) override { calls.push_back("flash"); }

    Calls calls;
    NOTIFYICONDATAW added{};
};

// Without ES_CONTINUOUS the call keeps a continuous state and returns it.
EXECUTION_STATE executionState() { return SetThreadExecutionState(0); }

// A balloon's event as the shell posts it with version 4, handled.
void iconEvent(MainWindow& window, UINT event) {
    PostMessageW(window.handle(), kNotifyIconMessage, 0, MAKELPARAM(event, 1));
    pump(window);
}

// What the system holds goes when told and with the window; a change to an
// icon Wine's notification area does not hold fails.
TEST(DesktopServices, TheSystemHoldsTheAwakeStateAndTheIconOnlyUntilReleased) {
    ProgramFolder folder;
    Form form{folder};
    DesktopServices& desktop = form.window->desktop();
    NOTIFYICONDATAW icon{};
    icon.cbSize = sizeof icon;
    icon.hWnd = form.window->handle();
    icon.uID = 1;
    desktop.keepSystemAwake(true);
    EXPECT_EQ(executionState(), ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
    desktop.keepSystemAwake(false);
    EXPECT_EQ(executionState(), ES_CONTINUOUS);
    desktop.announceBatchEnd("変換が終わりました", "変換済 1件、エラー 0件");
    EXPECT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &icon));
    iconEvent(*form.window, NIN_BALLOONUSERCLICK);
    EXPECT_FALSE(Shell_NotifyIconW(NIM_MODIFY, &icon));
    desktop.keepSystemAwake(true);
    form.window.reset();
    EXPECT_EQ(executionState(), ES_CONTINUOUS);
}

// A batch's course through the shell, as the shell answers it: the button is
// made after the window shows, the balloon ends one of three ways, and
// nothing of a batch outlives the window.
TEST(DesktopServices, TheShellIsAskedForTheBatchsCourseAndLeftWithNothing) {
    ProgramFolder folder;
    RecordingShell shell;
    Form form{folder, {}, true, shell};
    DesktopServices& desktop = form.window->desktop();
    HWND other = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 9, 9, nullptr, nullptr,
                                 nullptr, nullptr);
    SetForegroundWindow(other);
    ASSERT_FALSE(desktop.windowIsActive());
    auto show = [&](State state, int percent) { desktop.showTaskbarProgress({state, percent, 1}); };
    // The title's last character, a surrogate pair, would end one short of the buffer.
    auto announce = [&] { desktop.announceBatchEnd(std::string(62, 'a') + "\U0001F3AC", "変換済 5件"); };
    const Calls announced{"add", "version", "flash"};
    const struct {
        const char* name;
        std::function<void()> act;
        Calls expected;
    } steps[] = {
        {"the button made during a job",
         [&] {
             show(State::Normal, 10);
             SendMessageW(form.window->handle(), RegisterWindowMessageW(L"TaskbarButtonCreated"), 0, 0);
         },
         {"open", "normal", "10/100"}},
        {"a job's progress", [&] { show(State::Normal, 40); }, {"normal", "40/100"}},
        {"a row failed", [&] { show(State::Error, 60); }, {"error", "60/100"}},
        {"idle", [&] { show(State::Hidden, 0); }, {"none"}},
        {"announced", announce, announced},
        {"the balloon timed out", [&] { iconEvent(*form.window, NIN_BALLOONTIMEOUT); }, {"delete"}},
        {"announced again", announce, announced},
        {"the balloon closed", [&] { iconEvent(*form.window, NIN_BALLOONHIDE); }, {"delete"}},
        {"announced a third time", announce, announced},
        {"the balloon clicked",
         [&] {
             iconEvent(*form.window, NIN_BALLOONUSERCLICK);
             EXPECT_TRUE(desktop.windowIsActive());
         },
         {"delete"}},
        {"announced a fourth time", announce, announced},
        {"the window gone", [&] { form.window.reset(); }, {"released", "delete"}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        shell.calls.clear();
        step.act();
        EXPECT_EQ(shell.calls, step.expected);
    }
    EXPECT_EQ(shell.added.uFlags & (NIF_INFO | NIF_MESSAGE), UINT{NIF_INFO | NIF_MESSAGE});
    EXPECT_EQ(shell.added.uCallbackMessage, kNotifyIconMessage);
    EXPECT_EQ(std::wstring(shell.added.szInfoTitle) + L"|" + shell.added.szInfo,
              std::wstring(62, L'a') + L"|変換済 5件");
    DestroyWindow(other);
}

}  // namespace
}  // namespace mirvane::win32::test
