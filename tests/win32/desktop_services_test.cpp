// What the Win32 window's desktop services ask of the system: the thread's
// execution state, the taskbar's calls and the notification-area icon.
// Wine's taskbar shows nothing, so its calls are recorded through the shell
// seam; the icon is also asked of Wine's own notification area.

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

class RecordingList : public TaskbarList {
public:
    explicit RecordingList(Calls& calls) : m_calls(calls) {}
    ~RecordingList() override { m_calls.push_back("released"); }
    void setProgressState(HWND, TBPFLAG state) override {
        m_calls.push_back(state == TBPF_NOPROGRESS ? "none"
                          : state == TBPF_ERROR    ? "error"
                          : state == TBPF_NORMAL   ? "normal"
                                                   : "other");
    }
    void setProgressValue(HWND, ULONGLONG completed, ULONGLONG total) override {
        m_calls.push_back(std::to_string(completed) + "/" + std::to_string(total));
    }

private:
    Calls& m_calls;
};

struct RecordingShell : DesktopShell {
    std::unique_ptr<TaskbarList> openTaskbarList() override {
        calls.push_back("open");
        return std::make_unique<RecordingList>(calls);
    }
    bool notifyIcon(DWORD message, const NOTIFYICONDATAW& data) override {
        calls.push_back(message == NIM_ADD          ? "add"
                        : message == NIM_SETVERSION ? "version"
                        : message == NIM_DELETE     ? "delete"
                                                    : "other");
        if (message == NIM_ADD) added = data;
        return true;
    }
    void flash(HWND) override { calls.push_back("flash"); }

    Calls calls;
    NOTIFYICONDATAW added{};
};

// Without ES_CONTINUOUS the call keeps a continuous state and returns it:
// what the thread has asked of the system.
EXECUTION_STATE executionState() { return SetThreadExecutionState(0); }

TEST(DesktopServices, TheComputerIsKeptAwakeOnlyUntilToldOrUntilTheWindowGoes) {
    ProgramFolder folder;
    Form form{folder};
    DesktopServices& desktop = form.window->desktop();
    desktop.keepSystemAwake(true);
    EXPECT_EQ(executionState(), ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
    desktop.keepSystemAwake(false);
    EXPECT_EQ(executionState(), ES_CONTINUOUS);
    desktop.keepSystemAwake(true);
    form.window.reset();
    EXPECT_EQ(executionState(), ES_CONTINUOUS);
}

TEST(DesktopServices, TheTaskbarButtonShowsTheBatchOnceTheShellHasMadeIt) {
    ProgramFolder folder;
    RecordingShell shell;
    Form form{folder, {}, true, shell};
    auto show = [&](State state, int percent) {
        form.window->desktop().showTaskbarProgress({state, percent, 1});
    };
    auto buttonCreated = [&] {
        SendMessageW(form.window->handle(), RegisterWindowMessageW(L"TaskbarButtonCreated"), 0, 0);
    };
    struct Step {
        const char* name;
        std::function<void()> act;
        Calls expected;
    };
    const Step steps[] = {
        {"before the button exists", [&] { show(State::Normal, 10); }, {}},
        {"the button made", buttonCreated, {"open", "normal", "10/100"}},
        {"a job's progress", [&] { show(State::Normal, 40); }, {"normal", "40/100"}},
        {"a row failed", [&] { show(State::Error, 60); }, {"error", "60/100"}},
        {"a restarted Explorer's button", buttonCreated, {"open", "released", "error", "60/100"}},
        {"idle", [&] { show(State::Hidden, 0); }, {"none"}},
        {"the window gone", [&] { form.window.reset(); }, {"released"}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        shell.calls.clear();
        step.act();
        EXPECT_EQ(shell.calls, step.expected);
    }
}

// The balloon's events as the shell posts them with version 4.
void iconEvent(HWND window, UINT event) { PostMessageW(window, kNotifyIconMessage, 0, MAKELPARAM(event, 1)); }

struct Ending {
    const char* name;
    std::function<void(Form&)> end;
    bool comesForward;
};

struct BalloonEnding : testing::TestWithParam<Ending> {};

TEST_P(BalloonEnding, TheIconGoesAndAClickBringsTheWindowForward) {
    ProgramFolder folder;
    RecordingShell shell;
    Form form{folder, {}, true, shell};
    HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100,
                                 nullptr, nullptr, nullptr, nullptr);
    SetForegroundWindow(other);
    pump(*form.window);
    EXPECT_FALSE(form.window->desktop().windowIsActive());

    form.window->desktop().announceBatchEnd("変換が終わりました", "変換済 5件、エラー 1件");
    EXPECT_EQ(shell.calls, (Calls{"add", "version", "flash"}));
    EXPECT_EQ(shell.added.hWnd, form.window->handle());
    EXPECT_EQ(shell.added.uFlags & (NIF_INFO | NIF_MESSAGE | NIF_ICON),
              UINT{NIF_INFO | NIF_MESSAGE | NIF_ICON});
    EXPECT_EQ(shell.added.uCallbackMessage, kNotifyIconMessage);
    EXPECT_EQ(std::wstring(shell.added.szInfoTitle), L"変換が終わりました");
    EXPECT_EQ(std::wstring(shell.added.szInfo), L"変換済 5件、エラー 1件");

    shell.calls.clear();
    GetParam().end(form);
    if (form.window) pump(*form.window);
    EXPECT_EQ(shell.calls, Calls{"delete"});
    if (GetParam().comesForward) {
        EXPECT_TRUE(form.window->desktop().windowIsActive());
    }
    DestroyWindow(other);
}

INSTANTIATE_TEST_SUITE_P(
    Win32, BalloonEnding,
    testing::Values(
        Ending{"clicked", [](Form& form) { iconEvent(form.window->handle(), NIN_BALLOONUSERCLICK); }, true},
        Ending{"timed_out", [](Form& form) { iconEvent(form.window->handle(), NIN_BALLOONTIMEOUT); }, false},
        Ending{"closed", [](Form& form) { iconEvent(form.window->handle(), NIN_BALLOONHIDE); }, false},
        Ending{"window_gone", [](Form& form) { form.window.reset(); }, false}),
    kByName);

// Asked of the notification area: a change to an icon it does not hold fails.
bool iconShown(HWND window) {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window;
    data.uID = 1;
    return Shell_NotifyIconW(NIM_MODIFY, &data);
}

TEST(DesktopServices, TheSystemsNotificationAreaTakesTheIconAndGivesItBack) {
    ProgramFolder folder;
    Form form{folder};
    form.window->desktop().announceBatchEnd("変換が終わりました", "変換済 1件、エラー 0件");
    EXPECT_TRUE(iconShown(form.window->handle()));
    iconEvent(form.window->handle(), NIN_BALLOONUSERCLICK);
    pump(*form.window);
    EXPECT_FALSE(iconShown(form.window->handle()));
}

struct Fitting {
    const char* name;
    std::wstring text;
    std::size_t size;
    std::wstring expected;
};

struct TextFitting : testing::TestWithParam<Fitting> {};

TEST_P(TextFitting, NeverOverrunsNorSplitsAPair) {
    std::vector<wchar_t> buffer(GetParam().size + 1, L'#');
    copyFitted(GetParam().text, buffer.data(), GetParam().size);
    EXPECT_EQ(std::wstring(buffer.data()), GetParam().expected);
    EXPECT_EQ(buffer.back(), L'#');
}

const std::wstring kClapper = L"\U0001F3AC";  // a surrogate pair

INSTANTIATE_TEST_SUITE_P(Win32, TextFitting,
                         testing::Values(Fitting{"whole", L"変換済 5件", 64, L"変換済 5件"},
                                         Fitting{"cut", std::wstring(300, L'a'), 256,
                                                 std::wstring(255, L'a')},
                                         Fitting{"pair_across_the_cut", std::wstring(62, L'a') + kClapper, 64,
                                                 std::wstring(62, L'a')},
                                         Fitting{"pair_just_fitting", std::wstring(61, L'a') + kClapper, 64,
                                                 std::wstring(61, L'a') + kClapper}),
                         kByName);

}  // namespace
}  // namespace mirvane::win32::test
