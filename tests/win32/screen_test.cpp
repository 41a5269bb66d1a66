// The Win32 window as the X server shows it under Wine: the pixels read back
// from the screen, with rows of every status and the gauge part-way. The
// places within a pixel, the status and gauge colours, and the Japanese
// texts drawn with glyphs from the fonts the controls name.

#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <string>
#include <utility>
#include <vector>

#include "engine/jobs/job_list.h"
#include "win32/support/window_fixture.h"

namespace mirvane::win32::test {
namespace {

struct Screen {
    int left = 0, top = 0, width = 0, height = 0;
    std::vector<DWORD> pixels;  // 0x00RRGGBB
    COLORREF at(int x, int y) const {
        const DWORD pixel = pixels[static_cast<std::size_t>((y - top) * width + (x - left))];
        return RGB(pixel >> 16 & 0xFF, pixel >> 8 & 0xFF, pixel & 0xFF);
    }
};

// What the screen shows in the rectangle, read from the screen's own device context.
Screen grab(const RECT& area) {
    Screen screen{area.left, area.top, area.right - area.left, area.bottom - area.top, {}};
    BITMAPINFO format{};
    format.bmiHeader = {sizeof(BITMAPINFOHEADER), screen.width, -screen.height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC display = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(display);
    HBITMAP bitmap = CreateDIBSection(memory, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, screen.width, screen.height, display, area.left, area.top, SRCCOPY);
    GdiFlush();
    const auto* source = static_cast<const DWORD*>(bits);
    screen.pixels.assign(source, source + screen.width * screen.height);
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, display);
    return screen;
}

// Wine copies what a window drew to the X server on its own schedule, at
// most every few tens of milliseconds, while the program handles messages.
void showOnTheServer(MainWindow& form) {
    pump(form);
    Sleep(100);
    pump(form);
}

// The rectangle once the server shows something else than `before`; on a
// busy machine Wine may copy a redraw late, so it looks again for a while.
Screen changedFrom(const Screen& before, const RECT& area, MainWindow& form) {
    showOnTheServer(form);
    Screen now = grab(area);
    for (int look = 0; look < 30 && now.pixels == before.pixels; ++look) {
        showOnTheServer(form);
        now = grab(area);
    }
    return now;
}

RECT onScreen(HWND window) {
    RECT rect;
    GetWindowRect(window, &rect);
    return rect;
}

constexpr COLORREF kBlack = RGB(0, 0, 0), kWhite = RGB(255, 255, 255), kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255), kYellow = RGB(255, 255, 0);

struct OnScreen : testing::Test {
    void SetUp() override {
        const std::vector<std::string> files{"C:\\ビデオ\\旅行.mp4", "C:\\ビデオ\\誕生日.mkv",
                                             "C:\\ビデオ\\古いテープ.avi", "C:\\ビデオ\\演奏会.mkv",
                                             "C:\\ビデオ\\取材.mov"};
        form = std::make_unique<Form>(folder, files);
        JobList& jobs = const_cast<JobList&>(form->window->presenter().jobs());
        jobs.setStatus(0, JobStatus::Converted);
        jobs.setStatus(1, JobStatus::Converted);
        jobs.setStatus(2, JobStatus::Failed, "Invalid data found when processing input");
        jobs.setStatus(3, JobStatus::Converting);
        form->window->gauge().setProgress(50);
        SetForegroundWindow(form->window->handle());
        showOnTheServer(*form->window);
        screen = grab(onScreen(form->window->handle()));
    }
    POINT clientOrigin() const {
        POINT origin{0, 0};
        ClientToScreen(form->window->handle(), &origin);
        return origin;
    }

    ProgramFolder folder;
    std::unique_ptr<Form> form;
    Screen screen;
};

// Where the gauge's frame, the list's white and the panel's face meet, down
// a column of the client area: within a pixel of the designed places.
TEST_F(OnScreen, TheGaugeAndTheListStartWhereTheyShould) {
    const POINT origin = clientOrigin();
    const int x = origin.x + 300;  // right of the gauge's text
    int frameTop = -1, frameBottom = -1;
    for (int y = origin.y + 80; y < origin.y + 105; ++y) {
        if (screen.at(x, y) == kBlack) {
            if (frameTop < 0) frameTop = y - origin.y;
            frameBottom = y - origin.y;
        }
    }
    EXPECT_NEAR(frameTop, 85, 1);
    EXPECT_NEAR(frameBottom, 99, 1);
    // Below the gauge the list's header, then white rows; the frame's left
    // and right columns at the client's edges.
    EXPECT_EQ(screen.at(origin.x, origin.y + 92), kBlack);
    EXPECT_EQ(screen.at(origin.x + 417, origin.y + 92), kBlack);
    EXPECT_NE(screen.at(origin.x + 418 / 2, origin.y + 84), kBlack) << "the panel above the gauge";
}

// Inside the gauge at 50 %: only the four colours of the XOR drawing, the bar
// up to half the inner width, black text over white and yellow over blue.
TEST_F(OnScreen, TheGaugeShowsOnlyItsFourColours) {
    const POINT origin = clientOrigin();
    int blue = 0, yellow = 0, black = 0;
    for (int y = origin.y + 86; y < origin.y + 99; ++y)
        for (int x = origin.x + 1; x < origin.x + 417; ++x) {
            const COLORREF pixel = screen.at(x, y);
            ASSERT_TRUE(pixel == kBlue || pixel == kYellow || pixel == kWhite || pixel == kBlack)
                << std::hex << pixel << " at " << std::dec << x - origin.x << "," << y - origin.y;
            const bool inBar = x - origin.x <= 208;
            if (pixel == kBlue || pixel == kYellow) {
                EXPECT_TRUE(inBar) << x - origin.x;
            }
            blue += pixel == kBlue;
            yellow += pixel == kYellow;
            black += pixel == kBlack;
        }
    EXPECT_GT(blue, 208 * 13 / 2);
    EXPECT_GT(yellow, 0);
    EXPECT_GT(black, 0);
}

// Each status cell holds glyph pixels in exactly its status's colour, and
// none in the colour of another status; the file names are in the list's
// own colour.
TEST_F(OnScreen, EachStatusIsDrawnInItsColour) {
    HWND list = form->controls().jobList;
    const COLORREF expected[] = {kBlue, kBlue, kRed, kRed, kBlack};
    for (int row = 0; row < 5; ++row) {
        RECT cell{};
        cell.top = 1;
        cell.left = LVIR_LABEL;
        SendMessageW(list, LVM_GETSUBITEMRECT, row, reinterpret_cast<LPARAM>(&cell));
        MapWindowPoints(list, HWND_DESKTOP, reinterpret_cast<POINT*>(&cell), 2);
        int own = 0, others = 0;
        for (int y = cell.top; y < cell.bottom; ++y)
            for (int x = cell.left; x < cell.right; ++x) {
                const COLORREF pixel = screen.at(x, y);
                if (pixel == expected[row]) ++own;
                for (COLORREF other : {kBlue, kRed})
                    if (other != expected[row] && pixel == other) ++others;
            }
        EXPECT_GT(own, 10) << "row " << row;
        EXPECT_EQ(others, 0) << "row " << row;
    }
}

// Every character of every Japanese label has a glyph in the font its
// control uses, and the label's place on the screen holds drawn pixels.
TEST_F(OnScreen, TheJapaneseTextsAreDrawnWithRealGlyphs) {
    const WindowControls& c = form->controls();
    for (HWND control : {c.startButton, c.clearButton, c.presetLabel, c.directShowBox}) {
        const std::wstring text = windowText(control);
        SCOPED_TRACE(std::string(text.begin(), text.end()));
        HDC dc = GetDC(control);
        HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
        std::vector<WORD> glyphs(text.size());
        GetGlyphIndicesW(dc, text.c_str(), static_cast<int>(text.size()), glyphs.data(),
                         GGI_MARK_NONEXISTING_GLYPHS);
        SelectObject(dc, previous);
        ReleaseDC(control, dc);
        for (WORD glyph : glyphs) EXPECT_NE(glyph, 0xFFFF) << "a character without a glyph";

        // The text's own pixels: what changes on the screen when the control
        // is drawn again without it.
        const RECT area = onScreen(control);
        const Screen before = grab(area);
        SetWindowTextW(control, L"");
        RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        const Screen blank = changedFrom(before, area, *form->window);
        SetWindowTextW(control, text.c_str());
        RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        const Screen drawn = changedFrom(blank, area, *form->window);
        int ink = 0;
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x) ink += drawn.at(x, y) != blank.at(x, y);
        EXPECT_GT(ink, 15 * static_cast<int>(text.size()));
    }
}

// The first and last columns of the client area with the hint's dark
// pixels, across the band of rows it lies in (the list is white there).
std::pair<int, int> hintInk(MainWindow& window) {
    showOnTheServer(window);
    POINT origin{0, 0};
    ClientToScreen(window.handle(), &origin);
    RECT client, hint = onScreen(window.controls().dropHint);
    GetClientRect(window.handle(), &client);
    const Screen band = grab({origin.x, hint.top, origin.x + client.right, hint.bottom});
    std::pair<int, int> ink{-1, -1};
    for (int x = 0; x < band.width; ++x)
        for (int y = band.top; y < hint.bottom; ++y)
            if (GetRValue(band.at(band.left + x, y)) < 128) ink = {ink.first < 0 ? x : ink.first, x};
    return ink;
}

// Maximised and restored, the hint shows once, whole, centred in its new
// place, with nothing of it left where it was.
TEST(HintOnScreen, FollowsAResizeWithoutATrace) {
    ProgramFolder folder;
    Form form(folder);
    const auto [left, right] = hintInk(*form.window);
    ASSERT_GE(left, 0) << "no hint on the screen";
    for (const int show : {SW_MAXIMIZE, SW_RESTORE}) {
        ShowWindow(form.window->handle(), show);
        const auto [newLeft, newRight] = hintInk(*form.window);
        const RECT hint = placeInParent(form.controls().dropHint);
        EXPECT_NEAR(newRight - newLeft, right - left, 1) << show;
        EXPECT_NEAR(newLeft + newRight, hint.left + hint.right, 3) << show;
    }
}

}  // namespace
}  // namespace mirvane::win32::test
