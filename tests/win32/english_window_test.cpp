// The Win32 window made in English: its controls as a screen reader reads
// them, its rows and what it says, and every caption within its control at
// the screen's dpi (also run on a 150 % screen).

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "engine/texts/texts.h"
#include "win32/support/window_fixture.h"

namespace mirvane::win32::test {
namespace {

// The language for the window made after it; Japanese again for the next test.
struct English {
    English() { texts::useLanguage("en_US.UTF-8"); }
    ~English() { texts::useLanguage("ja"); }
};

struct EnglishWindow : testing::Test {
    English english;
    ProgramFolder folder;
    Form form{folder};

    HWND list() const { return form.controls().jobList; }
    std::wstring columnTitle(int index) const {
        wchar_t title[64]{};
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT;
        column.pszText = title;
        column.cchTextMax = 64;
        SendMessageW(list(), LVM_GETCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
        return title;
    }
};

TEST_F(EnglishWindow, EveryControlIsNamedInEnglishForAssistiveTechnology) {
    const WindowControls& c = form.controls();
    const struct {
        const char* control;
        HWND handle;
        const wchar_t* name;
    } cases[] = {
        {"startButton", c.startButton, L"Start"},
        {"clearButton", c.clearButton, L"Clear all"},
        {"presetLabel", c.presetLabel, L"Preset"},
        {"presetList", c.presetList, L"Preset"},
        {"directShowBox", c.directShowBox, L"Use DirectShow (needs AviSynth)"},
        {"gauge", form.window->gauge().handle(), L"Progress"},
        {"jobList", c.jobList, L"File list"},
        {"dropHint", c.dropHint, L"Drag and drop video files here"},
    };
    for (const auto& row : cases) EXPECT_EQ(askAccessible(row.handle).name, row.name) << row.control;
    EXPECT_EQ(columnTitle(0), L"File name");
    EXPECT_EQ(columnTitle(1), L"Status");
}

TEST_F(EnglishWindow, RowsAndWhatTheWindowSaysAreInEnglish) {
    SendMessageW(form.window->handle(), WM_DROPFILES,
                 reinterpret_cast<WPARAM>(makeDrop({L"C:\\videos\\a.avi", L"C:\\videos\\b.avi"})), 0);
    ASSERT_EQ(form.rowCount(), 2);
    EXPECT_EQ(form.column(1), (std::vector<std::wstring>{L"Pending", L"Pending"}));
    if (form.window->hasNotificationEvent()) GTEST_SKIP() << "said by UI Automation here";
    selectRows(list(), {0, 1});
    pressKey(list(), VK_DELETE);
    ASSERT_NE(form.window->spokenAlert(), nullptr);
    EXPECT_EQ(askAccessible(form.window->spokenAlert()).name, L"2 rows removed from the list");
}

// A caption cut short says nothing: each one, the start button's both among
// them, fits its control's width in the control's own font at this screen's
// dpi (the heights are the form's, whatever the language).
TEST_F(EnglishWindow, EveryCaptionFitsItsControl) {
    const WindowControls& c = form.controls();
    const int box = GetSystemMetricsForDpi(SM_CXMENUCHECK, GetDpiForWindow(c.directShowBox)) + 4;
    const struct {
        const char* control;
        HWND handle;
        const char* caption;
        int besideText;  // what the control draws beside its text
    } cases[] = {
        {"startButton", c.startButton, texts::kCaptionStart, 8},
        {"startButton stopping", c.startButton, texts::kCaptionStop, 8},
        {"clearButton", c.clearButton, texts::kCaptionClearAll, 8},
        {"presetLabel", c.presetLabel, texts::kCaptionPresets, 0},
        {"directShowBox", c.directShowBox, texts::kCaptionDirectShow, box},
        {"dropHint", c.dropHint, texts::kDropHint, 0},
    };
    for (const auto& row : cases) {
        HDC dc = GetDC(row.handle);
        const HGDIOBJ previous =
            SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(row.handle, WM_GETFONT, 0, 0)));
        const std::wstring caption = wide(row.caption);
        RECT text{};
        DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &text,
                  DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
        SelectObject(dc, previous);
        ReleaseDC(row.handle, dc);
        RECT client{};
        GetClientRect(row.handle, &client);
        EXPECT_LE(text.right + row.besideText, client.right) << row.control;
    }
}

}  // namespace
}  // namespace mirvane::win32::test
