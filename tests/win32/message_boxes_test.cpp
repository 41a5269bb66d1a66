// The program's message boxes as the system shows them: the caption, the
// text, the icon, the buttons and which of them Enter presses.

#include "win32/message_boxes.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "engine/texts/texts.h"
#include "win32/support/window_fixture.h"

namespace mirvane::win32::test {
namespace {

struct Seen {
    std::wstring text;
    bool errorIcon = false, warningIcon = false;
    std::vector<int> buttons;
    int defaultButton = 0;
};

BOOL CALLBACK lookAtChild(HWND child, LPARAM into) {
    Seen& seen = *reinterpret_cast<Seen*>(into);
    wchar_t className[32] = {};
    GetClassNameW(child, className, 32);
    const LONG style = GetWindowLongW(child, GWL_STYLE);
    if (std::wstring(className) == L"Button") {
        seen.buttons.push_back(GetDlgCtrlID(child));
        // The button drawn as the default, the one Enter presses.
        if ((style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) seen.defaultButton = GetDlgCtrlID(child);
    } else if ((style & SS_TYPEMASK) == SS_ICON) {
        const auto icon = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0));
        seen.errorIcon = icon == LoadIconW(nullptr, IDI_ERROR);
        seen.warningIcon = icon == LoadIconW(nullptr, IDI_WARNING);
    } else if (GetWindowTextLengthW(child) > 0) {
        seen.text = windowText(child);
    }
    return TRUE;
}

// Waits on another thread for the box this thread is about to show, reads
// it and answers it with a button, as a user would.
class BoxWatcher {
public:
    explicit BoxWatcher(int answer) {
        m_thread = std::thread([this, answer] {
            HWND box = nullptr;
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while (!(box = FindWindowW(L"#32770", L"Mirvane 1.00")) &&
                   std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            if (!box) return;
            EnumChildWindows(box, &lookAtChild, reinterpret_cast<LPARAM>(&m_seen));
            SendMessageW(GetDlgItem(box, answer), BM_CLICK, 0, 0);
        });
    }
    const Seen& seen() {
        m_thread.join();
        return m_seen;
    }

private:
    Seen m_seen;
    std::thread m_thread;
};

TEST(MessageBoxes, AnErrorHasTheCaptionTheErrorIconAndOnlyOk) {
    MessageBoxes boxes;
    BoxWatcher watcher(IDOK);
    boxes.showError(nullptr, texts::kSettingsMissing);
    const Seen& seen = watcher.seen();
    EXPECT_EQ(seen.text, L"動画設定INIファイル(MovieSet.ini)がありません。");
    EXPECT_TRUE(seen.errorIcon);
    EXPECT_EQ(seen.buttons, std::vector<int>{IDOK});
}

struct QuestionCase {
    const char* name;
    int press;
    bool confirmed;
};

class ForcedQuit : public testing::TestWithParam<QuestionCase> {};

TEST_P(ForcedQuit, WarningWithOkAndCancelWhereEnterMeansCancel) {
    MessageBoxes boxes;
    BoxWatcher watcher(GetParam().press);
    EXPECT_EQ(boxes.confirmForcedQuit(nullptr, texts::kForcedQuitQuestion), GetParam().confirmed);
    const Seen& seen = watcher.seen();
    EXPECT_EQ(seen.text, L"変換中ですが強制終了しますか？");
    EXPECT_TRUE(seen.warningIcon);
    EXPECT_EQ(seen.buttons, (std::vector<int>{IDOK, IDCANCEL}));
    EXPECT_EQ(seen.defaultButton, IDCANCEL);
}

INSTANTIATE_TEST_SUITE_P(Answers, ForcedQuit,
                         testing::Values(QuestionCase{"Ok", IDOK, true},
                                         QuestionCase{"Cancel", IDCANCEL, false}),
                         kByName);

}  // namespace
}  // namespace mirvane::win32::test
