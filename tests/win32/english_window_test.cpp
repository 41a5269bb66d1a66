// The Win32 window made in English: its controls as a screen reader reads
// them, its rows and what it says, and every caption within its control at
// the screen's dpi (also run on a 150 % screen).

#include <gtest/gtest.h>
#include <windows.h>

#include <oleacc.h>

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

    HWND list() const { return form.controls().lvData; }
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
        LONG role;
        const wchar_t* name;
    } cases[] = {
        {"btnStart", c.btnStart, ROLE_SYSTEM_PUSHBUTTON, L"Start"},
        {"btnAllClr", c.btnAllClr, ROLE_SYSTEM_PUSHBUTTON, L"Clear all"},
        {"presetLabel", c.presetLabel, ROLE_SYSTEM_STATICTEXT, L"Preset"},
        {"lbTo", c.lbTo, ROLE_SYSTEM_LIST, L"Preset"},
        {"chkDShow", c.chkDShow, ROLE_SYSTEM_CHECKBUTTON, L"Use DirectShow (needs AviSynth)"},
        {"gauge", form.window->gauge().handle(), ROLE_SYSTEM_PROGRESSBAR, L"Progress"},
        {"lvData", c.lvData, ROLE_SYSTEM_LIST, L"File list"},
        {"txtDrag", c.txtDrag, ROLE_SYSTEM_STATICTEXT, L"Drag and drop video files here"},
    };
    for (const auto& row : cases) {
        const Accessible read = askAccessible(row.handle);
        EXPECT_EQ(read.role, row.role) << row.control;
        EXPECT_EQ(read.name, row.name) << row.control;
    }
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
// them, fits its control in the control's own font at this screen's dpi.
TEST_F(EnglishWindow, EveryCaptionFitsItsControl) {
    const WindowControls& c = form.controls();
    const int box = GetSystemMetricsForDpi(SM_CXMENUCHECK, GetDpiForWindow(c.chkDShow)) + 4;
    const struct {
        const char* control;
        HWND handle;
        const char* caption;
        int besideText;  // what the control draws beside its text
    } cases[] = {
        {"btnStart", c.btnStart, texts::kCaptionStart, 8},
        {"btnStart stopping", c.btnStart, texts::kCaptionStop, 8},
        {"btnAllClr", c.btnAllClr, texts::kCaptionClearAll, 8},
        {"presetLabel", c.presetLabel, texts::kCaptionPresets, 0},
        {"chkDShow", c.chkDShow, texts::kCaptionDirectShow, box},
        {"txtDrag", c.txtDrag, texts::kDropHint, 0},
    };
    for (const auto& row : cases) {
        HDC dc = GetDC(row.handle);
        const HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(row.handle, WM_GETFONT, 0, 0)));
        const std::wstring caption = wide(row.caption);
        RECT text{};
        DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &text,
                  DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
        SelectObject(dc, previous);
        ReleaseDC(row.handle, dc);
        RECT client{};
        GetClientRect(row.handle, &client);
        EXPECT_LE(text.right + row.besideText, client.right) << row.control;
        EXPECT_LE(text.bottom, client.bottom) << row.control;
    }
}

}  // namespace
}  // namespace mirvane::win32::test
