// A batch through the real Win32 window with the Windows fake encoder: the
// start button's click runs it while the window keeps handling messages, so
// that what a user does during a job arrives as it would.

#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "engine/platform/files.h"
#include "win32/support/window_fixture.h"

namespace mirvane::win32::test {
namespace {

using Texts = std::vector<std::wstring>;

// Each job reports 4 s of input, one second every 100 ms.
constexpr const char* kSlowPreset =
    "[List]\nListTitle00=Slow\nListOption00=progress:4:100 -i %INPFILE %OUTFILE\nListExt00=.mp4\n";

// Runs on the UI thread every 20 ms while the batch's waiting loop handles
// messages, as a user acting during a job.
std::function<void()> g_onTick;
void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD) {
    if (g_onTick) g_onTick();
}

struct Batch : testing::Test {
    ProgramFolder folder{kSlowPreset};
    Form form{folder};

    HWND window() const { return form.window->handle(); }
    std::wstring caption() const { return windowText(form.controls().startButton); }
    bool enabled(HWND control) const { return IsWindowEnabled(control); }
    void drop(const Texts& paths) {
        SendMessageW(window(), WM_DROPFILES, reinterpret_cast<WPARAM>(makeDrop(paths)), 0);
    }
    Texts inputs(int count) const {
        Texts paths;
        for (int i = 0; i < count; ++i)
            paths.push_back(wide(folder.dir.file("clip" + std::to_string(i) + ".avi")));
        return paths;
    }
    // Clicks start and returns when the batch is over, calling during() on
    // each tick while the job runs.
    void run(const std::function<void()>& during) {
        g_onTick = [&] {
            if (form.window->presenter().busy()) during();
        };
        const UINT_PTR timer = SetTimer(nullptr, 0, 20, &tick);
        SendMessageW(form.controls().startButton, BM_CLICK, 0, 0);
        KillTimer(nullptr, timer);
        g_onTick = nullptr;
    }
};

TEST_F(Batch, ConvertsEveryRowWithTheBusyLookTheGaugeMovingAndIdleAfterwards) {
    drop(inputs(2));
    std::vector<std::wstring> captions;
    bool optionsDisabled = true, startEnabled = true;
    int highestPercent = 0, gaugePaints = form.window->gauge().paintCount();
    run([&] {
        captions.push_back(caption());
        optionsDisabled = optionsDisabled && !enabled(form.controls().clearButton) &&
                          !enabled(form.controls().presetList) && !enabled(form.controls().directShowBox);
        startEnabled = startEnabled && enabled(form.controls().startButton);
        highestPercent = std::max(highestPercent, form.window->gauge().percent());
    });
    ASSERT_FALSE(captions.empty()) << "the batch ended before a tick";
    EXPECT_EQ(captions.front(), L"停止");
    EXPECT_TRUE(optionsDisabled);
    EXPECT_TRUE(startEnabled);
    EXPECT_GE(highestPercent, 25);
    EXPECT_GT(form.window->gauge().paintCount() - gaugePaints, 2);

    EXPECT_EQ(form.column(1), (Texts{L"変換済", L"変換済"}));
    EXPECT_EQ(caption(), L"開始");
    EXPECT_TRUE(enabled(form.controls().clearButton) && enabled(form.controls().presetList) &&
                enabled(form.controls().directShowBox));
    EXPECT_EQ(form.window->gauge().progress(), 0);
    EXPECT_TRUE(platform::isReadableFile(folder.paths.logFile));
}

TEST_F(Batch, TheStopButtonEndsTheJobAndLeavesItsRowPending) {
    drop(inputs(2));
    SetFocus(form.controls().jobList);
    bool clicked = false;
    run([&] {
        if (clicked || form.window->gauge().percent() < 25) return;
        clicked = true;
        PostMessageW(form.controls().startButton, BM_CLICK, 0, 0);
    });
    EXPECT_TRUE(clicked);
    EXPECT_EQ(form.column(1), (Texts{L"未変換", L"未変換"}));
    EXPECT_EQ(caption(), L"開始");
    // Where a keyboard user pressed, and Return presses it again.
    EXPECT_EQ(GetFocus(), form.controls().startButton);
    EXPECT_EQ(GetWindowLongW(form.controls().startButton, GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
}

// Closing during a job asks first; OK stops the job, and the window goes
// only once the batch is over.
TEST_F(Batch, AConfirmedCloseStopsTheJobAndClosesTheWindowAfterIt) {
    drop(inputs(2));
    form.messages.answer = true;
    bool asked = false, stillThereAfterTheQuestion = false;
    run([&] {
        if (!asked) {
            asked = true;
            SendMessageW(window(), WM_CLOSE, 0, 0);
            stillThereAfterTheQuestion = IsWindow(window());
        }
    });
    EXPECT_EQ(form.messages.shown, std::vector<std::string>{"question: 変換中ですが強制終了しますか？"});
    EXPECT_TRUE(stillThereAfterTheQuestion);
    EXPECT_TRUE(pumpUntil(*form.window, [&] { return form.window->handle() == nullptr; }));
}

// The session ends in mid-job: the system may end the process as soon as
// the window has answered WM_ENDSESSION, so by then the job's working file is
// gone. An end another program called off leaves the job to finish.
class SessionEnd : public Batch, public testing::WithParamInterface<BOOL> {};

TEST_P(SessionEnd, EndsTheJobBeforeAnswering) {
    const BOOL ending = GetParam();
    drop(inputs(1));
    const std::string working = folder.dir.file("clip0 (変換中).mp4");
    std::vector<bool> present;  // before and after the messages
    LRESULT query = FALSE;
    run([&] {
        if (!present.empty()) return;
        present.push_back(platform::entryExists(working));
        query = SendMessageW(window(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF);
        SendMessageW(window(), WM_ENDSESSION, ending, ENDSESSION_LOGOFF);
        present.push_back(platform::entryExists(working));
    });
    EXPECT_EQ(query, TRUE);
    EXPECT_EQ(present, (std::vector<bool>{true, !ending}));
    EXPECT_EQ(form.column(1), Texts{ending ? L"未変換" : L"変換済"});
}

INSTANTIATE_TEST_SUITE_P(Answers, SessionEnd, testing::Values(TRUE, FALSE),
                         [](const auto& info) { return std::string(info.param ? "Ends" : "CalledOff"); });

}  // namespace
}  // namespace mirvane::win32::test
