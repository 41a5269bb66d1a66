// The window laid out at the screen's dpi from its start: every pixel of
// the form at 96 dpi scaled, edges rounded alike. CTest runs it on a 96-dpi
// screen and again on a 144-dpi (150 %) one: Wine's LogPixels in a Wine
// prefix of its own, which scripts/test-windows makes.

#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <cstdlib>
#include <string>

#include "engine/window/form_layout.h"
#include "win32/support/window_fixture.h"

namespace mirvane::win32::test {
namespace {

UINT expectedDpi() {
    const char* value = std::getenv("MIRVANE_EXPECT_DPI");
    return value ? static_cast<UINT>(std::atoi(value)) : 96;
}

struct AtTheScreensDpi : testing::Test {
    void SetUp() override {
        ASSERT_EQ(GetDpiForSystem(), expectedDpi())
            << "the screen's dpi; a 144-dpi run needs the Wine prefix scripts/test-windows makes";
    }
    int scaled(int pixels) const { return MulDiv(pixels, static_cast<int>(expectedDpi()), 96); }
    void expectPlace(HWND control, const form::Place& at) const {
        const RECT place = placeInParent(control);
        EXPECT_EQ(place.left, scaled(at.left));
        EXPECT_EQ(place.top, scaled(at.top));
        EXPECT_EQ(place.right, scaled(at.left + at.width));
        EXPECT_EQ(place.bottom, scaled(at.top + at.height));
    }

    ProgramFolder folder;
};

TEST_F(AtTheScreensDpi, ClientAreaControlsFontsAndColumnsAreScaledFromTheStart) {
    Form form(folder);
    const WindowControls& c = form.controls();
    EXPECT_EQ(form.window->dpi(), expectedDpi());
    RECT client;
    GetClientRect(c.mainWindow, &client);
    EXPECT_EQ(client.right, scaled(form::kMinimumOuterWidth) - scaled(form::kFrameWidth));
    EXPECT_EQ(client.bottom, scaled(form::kMinimumOuterHeight) - scaled(form::kFrameHeight));

    expectPlace(c.startButton, form::kStartButton);
    expectPlace(c.clearButton, form::kClearButton);
    expectPlace(c.presetLabel, form::kPresetLabel);
    expectPlace(c.presetList, form::kPresetList);
    expectPlace(c.directShowBox, form::kDirectShowBox);
    EXPECT_EQ(placeInParent(c.panel).bottom, scaled(85));
    EXPECT_EQ(placeInParent(form.window->gauge().handle()).top, scaled(85));
    EXPECT_EQ(placeInParent(form.window->gauge().handle()).bottom, scaled(100));
    EXPECT_EQ(placeInParent(c.jobList).top, scaled(100));
    EXPECT_EQ(placeInParent(c.jobList).bottom, client.bottom);
    const RECT hint = placeInParent(c.dropHint);
    EXPECT_EQ(hint.left, scaled(5));
    EXPECT_EQ(hint.top, scaled(248));
    EXPECT_EQ(hint.right - hint.left, client.right + scaled(8) - scaled(15));

    for (HWND control : {c.startButton, c.jobList, c.presetList}) {
        LOGFONTW font{};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof font, &font);
        EXPECT_EQ(font.lfHeight, -scaled(12));
    }
    EXPECT_EQ(SendMessageW(c.presetList, LB_GETITEMHEIGHT, 0, 0), scaled(12));
    EXPECT_EQ(SendMessageW(c.jobList, LVM_GETCOLUMNWIDTH, 0, 0), scaled(320));
    EXPECT_EQ(SendMessageW(c.jobList, LVM_GETCOLUMNWIDTH, 1, 0), scaled(80));
}

TEST_F(AtTheScreensDpi, TheMinimumSizeIsScaledToo) {
    Form form(folder);
    SetWindowPos(form.window->handle(), nullptr, 0, 0, 100, 100, SWP_NOMOVE | SWP_NOZORDER);
    pump(*form.window);
    RECT client;
    GetClientRect(form.window->handle(), &client);
    EXPECT_EQ(client.right, scaled(426) - scaled(8));
    EXPECT_EQ(client.bottom, scaled(460) - scaled(27));
}

}  // namespace
}  // namespace mirvane::win32::test
