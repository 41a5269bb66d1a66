// The Win32 gauge's pixels and repaints: composed off screen, framed, the
// bar in blue, the text XOR-ed so that only four colours ever appear.

#include "win32/percent_gauge.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "win32/support/window_fixture.h"

namespace mirvane::win32::test {
namespace {

// The gauge's client area as it paints it, read back from a 32-bit bitmap.
struct Picture {
    int width = 0, height = 0;
    std::vector<COLORREF> pixels;
    COLORREF at(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
};

Picture capture(HWND window) {
    RECT client;
    GetClientRect(window, &client);
    Picture picture{client.right, client.bottom, {}};
    BITMAPINFO format{};
    format.bmiHeader = {
        sizeof(BITMAPINFOHEADER), picture.width, -picture.height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(dc, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = SelectObject(dc, bitmap);
    SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    GdiFlush();
    const auto* source = static_cast<const DWORD*>(bits);
    for (int i = 0; i < picture.width * picture.height; ++i) {
        const DWORD pixel = source[i];  // 0x00RRGGBB
        picture.pixels.push_back(RGB(pixel >> 16 & 0xFF, pixel >> 8 & 0xFF, pixel & 0xFF));
    }
    SelectObject(dc, previous);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return picture;
}

constexpr COLORREF kBlack = RGB(0, 0, 0), kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlue = RGB(0, 0, 255), kYellow = RGB(255, 255, 0);

struct DrawCase {
    const char* name;
    int progress;
    int barWidth;  // of the 416 inner pixels
};

class GaugeDrawing : public testing::TestWithParam<DrawCase> {
protected:
    ProgramFolder folder;
    Form form{folder};
};

TEST_P(GaugeDrawing, FrameBarAndXorTextInFourColoursOnly) {
    const DrawCase& c = GetParam();
    PercentGauge& gauge = form.window->gauge();
    gauge.setProgress(c.progress);
    const Picture picture = capture(gauge.handle());
    ASSERT_EQ(picture.width, 418);
    ASSERT_EQ(picture.height, 15);

    int blackText = 0, yellowText = 0, textLeft = 418, textRight = -1;
    for (int x = 0; x < 418; ++x)
        for (int y = 0; y < 15; ++y) {
            const COLORREF pixel = picture.at(x, y);
            if (x == 0 || y == 0 || x == 417 || y == 14) {
                ASSERT_EQ(pixel, kBlack) << "frame at " << x << "," << y;
                continue;
            }
            if (x <= c.barWidth) {
                ASSERT_TRUE(pixel == kBlue || pixel == kYellow) << "bar at " << x << "," << y;
            } else {
                ASSERT_TRUE(pixel == kWhite || pixel == kBlack) << "empty part at " << x << "," << y;
            }
            if (pixel == kYellow || pixel == kBlack) {
                (pixel == kYellow ? yellowText : blackText) += 1;
                textLeft = std::min(textLeft, x);
                textRight = std::max(textRight, x);
            }
        }
    // The text sits in the middle: on white, on blue, or across the bar's end.
    EXPECT_EQ(blackText > 0, c.barWidth < 230);
    EXPECT_EQ(yellowText > 0, c.barWidth > 190);
    EXPECT_NEAR((textLeft + textRight) / 2.0, 208.5, 2.5) << "centred between the frame's inner edges";
}

INSTANTIATE_TEST_SUITE_P(Pixels, GaugeDrawing,
                         testing::Values(DrawCase{"NothingAtZero", 0, 0},
                                         DrawCase{"TruncatedWidthAt33", 33, 137},
                                         DrawCase{"TextAcrossBarEndAt50", 50, 208},
                                         DrawCase{"FullInnerWidthAt100", 100, 416}),
                         kByName);

// The gauge is painted at once when what it shows changes, and only then.
TEST(GaugeRepaints, OnlyANewWholePercentOrANewMaximumPaintsAndAtOnce) {
    ProgramFolder folder;
    Form form(folder);
    PercentGauge& gauge = form.window->gauge();
    gauge.setMaxValue(1000);
    gauge.setProgress(10);
    pump(*form.window);
    struct Step {
        int progress, maxValue, paints;
    };
    const Step steps[] = {{19, 1000, 0},   {20, 1000, 1},  {20, 1000, 0},
                          {1500, 1000, 1}, {1000, 500, 1}, {250, 500, 1}};
    for (const Step& step : steps) {
        const int before = gauge.paintCount();
        gauge.setProgress(step.progress);
        gauge.setMaxValue(step.maxValue);
        EXPECT_EQ(gauge.paintCount() - before, step.paints) << step.progress << "/" << step.maxValue;
        pump(*form.window);
        EXPECT_EQ(gauge.paintCount() - before, step.paints)
            << "later, " << step.progress << "/" << step.maxValue;
    }
    EXPECT_EQ(gauge.percent(), 50);
}

// What a screen reader reads of the gauge, and the one event it hears per new percentage shown.
TEST(GaugeAccessibility, AProgressBarNamedWithTheShownPercentAsValueAndOneEventPerChange) {
    ProgramFolder folder;
    Form form(folder);
    PercentGauge& gauge = form.window->gauge();
    struct Step {
        int progress, maxValue;
        const wchar_t* value;
        std::size_t events;
    };
    const Step steps[] = {{10, 1000, L"1%", 1},     {19, 1000, L"1%", 0},    {20, 1000, L"2%", 1},
                          {1500, 1000, L"100%", 1}, {1000, 500, L"100%", 0}, {250, 500, L"50%", 1}};
    for (const Step& step : steps) {
        const RaisedEvents events =
            eventsDuring(*form.window, gauge.handle(), {EVENT_OBJECT_VALUECHANGE}, [&] {
                gauge.setMaxValue(step.maxValue);
                gauge.setProgress(step.progress);
            });
        EXPECT_EQ(events.size(), step.events) << step.progress << "/" << step.maxValue;
        const Accessible read = askAccessible(gauge.handle());
        EXPECT_EQ(read.role, ROLE_SYSTEM_PROGRESSBAR);
        EXPECT_EQ(read.name + L" " + read.value, std::wstring(L"進捗 ") + step.value);
    }
}

}  // namespace
}  // namespace mirvane::win32::test
