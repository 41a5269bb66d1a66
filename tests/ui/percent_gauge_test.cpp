#include <gtest/gtest.h>

#include <QImage>
#include <QPixmap>
#include <QTest>

#include "ui/percent_gauge.h"
#include "ui_test_main.h"

namespace mirvane {
namespace {

// --- Values: clamping and the whole percentage -------------------------------

struct ValueCase {
    const char* name;
    int maxValue;
    int progressSet;
    int expectedProgress;
    int expectedPercent;
    friend void PrintTo(const ValueCase& c, std::ostream* out) { *out << c.name; }
};

class GaugeValues : public testing::TestWithParam<ValueCase> {};

TEST_P(GaugeValues, ClampsAndTruncates) {
    const ValueCase& c = GetParam();
    PercentGauge gauge;
    gauge.setMaxValue(c.maxValue);
    gauge.setProgress(c.progressSet);
    EXPECT_EQ(gauge.progress(), c.expectedProgress);
    EXPECT_EQ(gauge.percent(), c.expectedPercent);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, GaugeValues,
    testing::Values(ValueCase{"MaxZeroKeepsProgressAtZero", 0, 7, 0, 0},
                    ValueCase{"ProgressAboveMaxBecomesMax", 100, 150, 100, 100},
                    ValueCase{"ProgressBelowMinBecomesMin", 100, -5, 0, 0},
                    ValueCase{"OneThirdIs33", 3, 1, 1, 33}, ValueCase{"TwoThirdsTruncateTo66", 3, 2, 2, 66},
                    ValueCase{"JustBelowTwoPercentIsOne", 1000, 19, 19, 1},
                    ValueCase{"LargeMaxKeepsPrecision", 2147483647, 2147483646, 2147483646, 99}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(GaugeMaxValue, LoweredBelowProgressPullsProgressDown) {
    PercentGauge gauge;
    gauge.setProgress(50);
    gauge.setMaxValue(30);
    EXPECT_EQ(gauge.progress(), 30);
    EXPECT_EQ(gauge.percent(), 100);
}

TEST(GaugeMaxValue, BelowMinIsRefusedWithMessageAndChangesNothing) {
    PercentGauge gauge;
    gauge.setMaxValue(80);
    gauge.setProgress(40);
    try {
        gauge.setMaxValue(-1);
        FAIL() << "a maximum below the minimum was accepted";
    } catch (const std::invalid_argument& error) {
        EXPECT_STREQ(error.what(), "1 から 2147483647 の間の値でなければなりません");
    }
    EXPECT_EQ(gauge.maxValue(), 80);
    EXPECT_EQ(gauge.progress(), 40);
    EXPECT_EQ(gauge.minValue(), 0);
}

// --- Repaints: only when the whole percentage changes -------------------------

struct RepaintCase {
    const char* name;
    int maxValue;
    int progressBefore;
    int progressSet;
    bool repaints;
    friend void PrintTo(const RepaintCase& c, std::ostream* out) { *out << c.name; }
};

class GaugeRepaints : public testing::TestWithParam<RepaintCase> {};

TEST_P(GaugeRepaints, OnlyOnPercentChange) {
    const RepaintCase& c = GetParam();
    PercentGauge gauge;
    gauge.resize(418, 15);
    gauge.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&gauge));
    gauge.setMaxValue(c.maxValue);
    gauge.setProgress(c.progressBefore);
    QCoreApplication::processEvents();

    int before = gauge.paintCount();
    gauge.setProgress(c.progressSet);
    // A repaint happens at once, not at the next turn of the event loop.
    EXPECT_EQ(gauge.paintCount() - before, c.repaints ? 1 : 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(gauge.paintCount() - before, c.repaints ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Rules, GaugeRepaints,
                         testing::Values(RepaintCase{"SameWholePercentDoesNotRepaint", 1000, 10, 19, false},
                                         RepaintCase{"NextWholePercentRepaints", 1000, 10, 20, true},
                                         RepaintCase{"SameValueDoesNothing", 100, 40, 40, false},
                                         RepaintCase{"ClampedToCurrentDoesNothing", 100, 100, 150, false},
                                         RepaintCase{"DownwardChangeRepaints", 100, 40, 39, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(GaugeRepaintsOnMax, NewMaxRepaintsAndSameMaxDoesNot) {
    PercentGauge gauge;
    gauge.resize(418, 15);
    gauge.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&gauge));
    QCoreApplication::processEvents();
    int before = gauge.paintCount();
    gauge.setMaxValue(100);
    EXPECT_EQ(gauge.paintCount(), before);
    gauge.setMaxValue(200);
    EXPECT_EQ(gauge.paintCount(), before + 1);
}

// --- Drawing -----------------------------------------------------------------

const QRgb kBlack = qRgb(0, 0, 0);
const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kBlue = qRgb(0, 0, 255);
const QRgb kYellow = qRgb(255, 255, 0);

QImage drawn(int progress) {
    PercentGauge gauge;
    QFont font;
    font.setFamilies({"ＭＳ Ｐゴシック", "IPAPGothic"});
    font.setPixelSize(12);
    gauge.setFont(font);
    gauge.resize(418, 15);
    gauge.setProgress(progress);
    return gauge.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

struct DrawCase {
    const char* name;
    int progress;
    int barWidth;  // of the 416 inner pixels
    friend void PrintTo(const DrawCase& c, std::ostream* out) { *out << c.name; }
};

class GaugeDrawing : public testing::TestWithParam<DrawCase> {};

TEST_P(GaugeDrawing, FrameBarAndXorText) {
    const DrawCase& c = GetParam();
    QImage image = drawn(c.progress);
    ASSERT_EQ(image.size(), QSize(418, 15));

    for (int x = 0; x < 418; ++x) {
        ASSERT_EQ(image.pixel(x, 0), kBlack) << "top frame at " << x;
        ASSERT_EQ(image.pixel(x, 14), kBlack) << "bottom frame at " << x;
    }
    for (int y = 0; y < 15; ++y) {
        ASSERT_EQ(image.pixel(0, y), kBlack) << "left frame at " << y;
        ASSERT_EQ(image.pixel(417, y), kBlack) << "right frame at " << y;
    }

    // Inside, a column left of the bar's end holds only blue and yellow (text
    // over the bar); a column right of it only white and black.
    int blackText = 0;
    int yellowText = 0;
    for (int x = 1; x <= 416; ++x) {
        bool inBar = x <= c.barWidth;
        for (int y = 1; y <= 13; ++y) {
            QRgb pixel = image.pixel(x, y);
            if (inBar) {
                ASSERT_TRUE(pixel == kBlue || pixel == kYellow) << "bar pixel " << x << "," << y;
                yellowText += pixel == kYellow;
            } else {
                ASSERT_TRUE(pixel == kWhite || pixel == kBlack) << "empty pixel " << x << "," << y;
                blackText += pixel == kBlack;
            }
        }
    }
    // The text sits in the middle (x 209): wholly white, wholly blue, or
    // straddling the bar's end.
    EXPECT_EQ(blackText > 0, c.barWidth < 230);
    EXPECT_EQ(yellowText > 0, c.barWidth > 190);
}

INSTANTIATE_TEST_SUITE_P(Pixels, GaugeDrawing,
                         testing::Values(DrawCase{"NothingAtZero", 0, 0},
                                         DrawCase{"TruncatedWidthAt33", 33, 137},
                                         DrawCase{"TextStraddlesBarEndAt50", 50, 208},
                                         DrawCase{"TextOverBarAt75", 75, 312},
                                         DrawCase{"FullInnerWidthAt100", 100, 416}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace mirvane
