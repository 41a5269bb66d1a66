// The Win32 window's controls as the system has them: places, sizes, texts,
// fonts, styles, tab order, the size rules and the scaling to other dpi.

#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

#include "engine/platform/win32/wide_text.h"
#include "win32/support/window_fixture.h"

namespace mirvane::win32::test {
namespace {

struct ControlCase {
    const char* name;
    HWND WindowControls::*control;  // nullptr: the gauge
    bool inPanel;
    RECT place;  // left, top, right, bottom at 96 dpi
    const wchar_t* text;
};

HWND handleOf(const Form& form, const ControlCase& c) {
    return c.control ? form.controls().*c.control : form.window->gauge().handle();
}

class ControlPlaces : public testing::TestWithParam<ControlCase> {
protected:
    ProgramFolder folder;
    Form form{folder};
};

TEST_P(ControlPlaces, ParentPlaceAndText) {
    const ControlCase& c = GetParam();
    HWND control = handleOf(form, c);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(GetParent(control), c.inPanel ? form.controls().panel : form.window->handle());
    const RECT place = placeInParent(control);
    EXPECT_EQ(place.left, c.place.left);
    EXPECT_EQ(place.top, c.place.top);
    EXPECT_EQ(place.right - place.left, c.place.right - c.place.left);
    EXPECT_EQ(place.bottom - place.top, c.place.bottom - c.place.top);
    if (c.text) {
        EXPECT_EQ(windowText(control), c.text);
    }
}

// The hint is laid out by the resize at creation: left 5, 426 − 15 wide.
INSTANTIATE_TEST_SUITE_P(
    Form, ControlPlaces,
    testing::Values(
        ControlCase{"panel", &WindowControls::panel, false, {0, 0, 418, 85}, L""},
        ControlCase{"gauge", nullptr, false, {0, 85, 418, 100}, nullptr},
        ControlCase{"jobList", &WindowControls::jobList, false, {0, 100, 418, 433}, nullptr},
        ControlCase{"dropHint",
                    &WindowControls::dropHint,
                    false,
                    {5, 248, 416, 264},
                    L"ここに動画ファイルをドラッグ＆ドロップしてください"},
        ControlCase{"startButton", &WindowControls::startButton, true, {4, 4, 89, 49}, L"開始"},
        ControlCase{"clearButton", &WindowControls::clearButton, true, {92, 4, 173, 49}, L"すべてクリア"},
        ControlCase{"presetLabel", &WindowControls::presetLabel, true, {196, 4, 248, 16}, L"コンバート"},
        ControlCase{"presetList", &WindowControls::presetList, true, {248, 4, 417, 81}, nullptr},
        ControlCase{"directShowBox",
                    &WindowControls::directShowBox,
                    true,
                    {8, 60, 221, 73},
                    L"DirectShowを使用(Avisynthが必要)"}),
    kByName);

class WindowOnScreen : public testing::Test {
protected:
    ProgramFolder folder;
    Form form{folder};
    HWND window() const { return form.window->handle(); }
    SIZE outerSize() const {
        RECT rect;
        GetWindowRect(window(), &rect);
        return {rect.right - rect.left, rect.bottom - rect.top};
    }
    SIZE clientSize() const {
        RECT rect;
        GetClientRect(window(), &rect);
        return {rect.right, rect.bottom};
    }
    void resizeTo(int width, int height) {
        SetWindowPos(window(), nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
        pump(*form.window);
    }
};

TEST_F(WindowOnScreen, TopLeftWithTheCaptionASizeableFrameAndFileDrops) {
    RECT rect;
    GetWindowRect(window(), &rect);
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(clientSize().cx, 418);
    EXPECT_EQ(clientSize().cy, 433);
    // Wine's frame is the one the layout was made for.
    EXPECT_EQ(outerSize().cx, 426);
    EXPECT_EQ(outerSize().cy, 460);
    EXPECT_EQ(windowText(window()), L"Mirvane 1.00");
    const LONG style = GetWindowLongW(window(), GWL_STYLE);
    for (LONG wanted : {WS_THICKFRAME, WS_SYSMENU, WS_MINIMIZEBOX, WS_MAXIMIZEBOX, WS_CAPTION})
        EXPECT_EQ(style & wanted, wanted) << std::hex << wanted;
    EXPECT_TRUE(GetWindowLongW(window(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    EXPECT_NE(SendMessageW(window(), WM_GETICON, ICON_SMALL, 0), 0) << "the program's icon";
}

TEST_F(WindowOnScreen, JobListIsAWhiteReportWithTwoColumnsSeveralRowsSelectableAndNoBorder) {
    HWND list = form.controls().jobList;
    const LONG style = GetWindowLongW(list, GWL_STYLE);
    EXPECT_EQ(style & LVS_TYPEMASK, LVS_REPORT);
    EXPECT_FALSE(style & (LVS_SINGLESEL | LVS_EDITLABELS | LVS_SORTASCENDING | LVS_SORTDESCENDING |
                          LVS_NOCOLUMNHEADER | WS_BORDER));
    EXPECT_FALSE(GetWindowLongW(list, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    EXPECT_TRUE(SendMessageW(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_FULLROWSELECT);
    EXPECT_EQ(static_cast<COLORREF>(SendMessageW(list, LVM_GETBKCOLOR, 0, 0)), RGB(255, 255, 255));

    struct Column {
        const wchar_t* header;
        int width, format;
    };
    const Column columns[] = {{L"ファイル名", 320, LVCFMT_LEFT}, {L"ステータス", 80, LVCFMT_CENTER}};
    for (int index = 0; index < 2; ++index) {
        wchar_t text[64] = {};
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        column.pszText = text;
        column.cchTextMax = 64;
        ASSERT_TRUE(SendMessageW(list, LVM_GETCOLUMNW, index, reinterpret_cast<LPARAM>(&column)));
        EXPECT_STREQ(text, columns[index].header);
        EXPECT_EQ(column.cx, columns[index].width);
        EXPECT_EQ(column.fmt & LVCFMT_JUSTIFYMASK, columns[index].format);
    }
    EXPECT_FALSE(SendMessageW(list, LVM_GETCOLUMNWIDTH, 2, 0)) << "a third column";
}

// Tab visits the focusable controls in the form's order and comes round;
// the gauge, the label and the hint are never visited.
TEST_F(WindowOnScreen, TabOrderIsStartClearPresetsDirectShowList) {
    const WindowControls& c = form.controls();
    const std::vector<HWND> expected{c.clearButton, c.presetList, c.directShowBox, c.jobList, c.startButton};
    std::vector<HWND> visited;
    HWND at = c.startButton;
    for (std::size_t i = 0; i < expected.size(); ++i)
        visited.push_back(at = GetNextDlgTabItem(window(), at, FALSE));
    EXPECT_EQ(visited, expected);
    for (HWND never : {form.window->gauge().handle(), c.presetLabel, c.dropHint})
        EXPECT_FALSE(GetWindowLongW(never, GWL_STYLE) & WS_TABSTOP);
}

// The hint lies above the list among their siblings and has the white
// background; the form and the panel have the face colour.
TEST_F(WindowOnScreen, HintAboveTheListOnWhite) {
    const WindowControls& c = form.controls();
    bool hintFirst = false;
    for (HWND child = GetWindow(window(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (child == c.dropHint) hintFirst = true;
        if (child == c.jobList) break;
    }
    EXPECT_TRUE(hintFirst);
    HDC dc = GetDC(c.dropHint);
    const auto brush = reinterpret_cast<HBRUSH>(SendMessageW(
        window(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(c.dropHint)));
    EXPECT_EQ(GetBkColor(dc), RGB(255, 255, 255));
    LOGBRUSH fill{};
    GetObjectW(brush, sizeof fill, &fill);
    EXPECT_EQ(fill.lbColor, RGB(255, 255, 255));
    ReleaseDC(c.dropHint, dc);
    EXPECT_EQ(GetClassLongPtrW(window(), GCLP_HBRBACKGROUND),
              reinterpret_cast<ULONG_PTR>(GetSysColorBrush(COLOR_BTNFACE)));
}

struct FontCase {
    const char* name;
    HWND WindowControls::*control;
    std::vector<std::wstring> families;  // the wanted one first, then its stand-ins
};

class ControlFonts : public testing::TestWithParam<FontCase> {
protected:
    ProgramFolder folder;
    Form form{folder};
};

// 12 pixels high, Shift-JIS, regular; and the face the font names is the
// face the system draws with (no silent substitution).
TEST_P(ControlFonts, TwelvePixelJapaneseFontThatIsReallyInstalled) {
    const FontCase& c = GetParam();
    auto font = reinterpret_cast<HFONT>(SendMessageW(form.controls().*c.control, WM_GETFONT, 0, 0));
    ASSERT_NE(font, nullptr);
    LOGFONTW description{};
    ASSERT_TRUE(GetObjectW(font, sizeof description, &description));
    EXPECT_EQ(description.lfHeight, -12);
    EXPECT_EQ(description.lfCharSet, SHIFTJIS_CHARSET);
    EXPECT_EQ(description.lfWeight, FW_NORMAL);
    EXPECT_FALSE(description.lfItalic);
    EXPECT_NE(std::find(c.families.begin(), c.families.end(), description.lfFaceName), c.families.end())
        << platform::win32::toUtf8(description.lfFaceName);
    HDC dc = GetDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, font);
    wchar_t drawnWith[LF_FACESIZE] = {};
    GetTextFaceW(dc, LF_FACESIZE, drawnWith);
    SelectObject(dc, previous);
    ReleaseDC(nullptr, dc);
    EXPECT_STREQ(drawnWith, description.lfFaceName);
}

const std::vector<std::wstring> kProportional{L"ＭＳ Ｐゴシック", L"MS PGothic", L"IPAPGothic"};
INSTANTIATE_TEST_SUITE_P(Form, ControlFonts,
                         testing::Values(FontCase{"mainWindow", &WindowControls::mainWindow, kProportional},
                                         FontCase{"startButton", &WindowControls::startButton, kProportional},
                                         FontCase{"directShowBox", &WindowControls::directShowBox,
                                                  kProportional},
                                         FontCase{"jobList", &WindowControls::jobList, kProportional},
                                         FontCase{"dropHint", &WindowControls::dropHint, kProportional},
                                         FontCase{"presetList",
                                                  &WindowControls::presetList,
                                                  {L"ＭＳ ゴシック", L"MS Gothic", L"IPAGothic"}}),
                         kByName);

TEST_F(WindowOnScreen, PresetRowsAreTwelvePixelsHigh) {
    EXPECT_EQ(SendMessageW(form.controls().presetList, LB_GETITEMHEIGHT, 0, 0), 12);
    EXPECT_EQ(SendMessageW(form.controls().presetList, LB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(SendMessageW(form.controls().presetList, LB_GETCURSEL, 0, 0), 0);
}

struct SizeCase {
    const char* name;
    SIZE asked, outer;
};

class SizeRules : public WindowOnScreen, public testing::WithParamInterface<SizeCase> {};

TEST_P(SizeRules, MinimumIs426By460AndTheHintFollowsTheWidth) {
    const SizeCase& c = GetParam();
    resizeTo(c.asked.cx, c.asked.cy);
    EXPECT_EQ(outerSize().cx, c.outer.cx);
    EXPECT_EQ(outerSize().cy, c.outer.cy);
    const RECT hint = placeInParent(form.controls().dropHint);
    EXPECT_EQ(hint.left, 5);
    EXPECT_EQ(hint.right - hint.left, c.outer.cx - 15);
    EXPECT_EQ(hint.top, 248);
    EXPECT_EQ(hint.bottom - hint.top, 16);
    // The aligned controls take the client width; the panel's controls stay.
    RECT list = placeInParent(form.controls().jobList);
    EXPECT_EQ(list.right - list.left, c.outer.cx - 8);
    EXPECT_EQ(list.bottom, c.outer.cy - 27);
    EXPECT_EQ(placeInParent(form.controls().presetList).left, 248);
    EXPECT_EQ(SendMessageW(form.controls().jobList, LVM_GETCOLUMNWIDTH, 0, 0), 320);
}

INSTANTIATE_TEST_SUITE_P(Rules, SizeRules,
                         testing::Values(SizeCase{"BothTooSmall", {300, 200}, {426, 460}},
                                         SizeCase{"HeightTooSmall", {500, 200}, {500, 460}},
                                         SizeCase{"WidthTooSmall", {300, 600}, {426, 600}},
                                         SizeCase{"Wider", {800, 460}, {800, 460}}),
                         kByName);

TEST_F(WindowOnScreen, AHiddenHintKeepsItsLastLayoutThroughAResize) {
    resizeTo(600, 500);
    ShowWindow(form.controls().dropHint, SW_HIDE);
    resizeTo(800, 500);
    const RECT hint = placeInParent(form.controls().dropHint);
    EXPECT_EQ(hint.right - hint.left, 585);
}

// A move to a monitor at 150 %: the system sends the new dpi and the window
// rectangle it suggests; everything specified in pixels grows with it.
TEST_F(WindowOnScreen, AMoveTo144DpiScalesLayoutFontsAndColumnsAndBackAgain) {
    auto dpiChange = [&](UINT dpi) {
        RECT suggested;
        GetWindowRect(window(), &suggested);
        suggested.right = suggested.left +
                          MulDiv(outerSize().cx, static_cast<int>(dpi), static_cast<int>(form.window->dpi()));
        suggested.bottom = suggested.top + MulDiv(outerSize().cy, static_cast<int>(dpi),
                                                  static_cast<int>(form.window->dpi()));
        SendMessageW(window(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        pump(*form.window);
    };
    dpiChange(144);
    EXPECT_EQ(form.window->dpi(), 144u);
    EXPECT_GE(clientSize().cx, 627);
    EXPECT_GE(clientSize().cy, 650);
    const RECT start = placeInParent(form.controls().startButton);
    EXPECT_EQ(start.left, 6);
    EXPECT_EQ(start.right - start.left, 128);
    EXPECT_EQ(start.bottom - start.top, 68);
    EXPECT_EQ(placeInParent(form.controls().jobList).top, 150);
    EXPECT_EQ(placeInParent(form.window->gauge().handle()).bottom, 150);
    EXPECT_EQ(SendMessageW(form.controls().jobList, LVM_GETCOLUMNWIDTH, 0, 0), 480);
    EXPECT_EQ(SendMessageW(form.controls().jobList, LVM_GETCOLUMNWIDTH, 1, 0), 120);
    EXPECT_EQ(SendMessageW(form.controls().presetList, LB_GETITEMHEIGHT, 0, 0), 18);
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(form.controls().startButton, WM_GETFONT, 0, 0)),
               sizeof font, &font);
    EXPECT_EQ(font.lfHeight, -18);
    const RECT hint = placeInParent(form.controls().dropHint);
    EXPECT_EQ(hint.top, 372);
    EXPECT_EQ(hint.left, 8);

    dpiChange(96);
    EXPECT_EQ(clientSize().cx, 418);
    EXPECT_EQ(clientSize().cy, 433);
    EXPECT_EQ(placeInParent(form.controls().startButton).right, 89);
    EXPECT_EQ(SendMessageW(form.controls().jobList, LVM_GETCOLUMNWIDTH, 0, 0), 320);
    EXPECT_EQ(placeInParent(form.controls().dropHint).left, 5);
}

}  // namespace
}  // namespace mirvane::win32::test
