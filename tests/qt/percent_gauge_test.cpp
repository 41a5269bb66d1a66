#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QTest>

#include "form_fixture.h"
#include "qt/percent_gauge.h"
#include "qt/percent_glyphs.h"
#include "ui_test_main.h"

namespace mirvane::test {
namespace {

// The values and which changes show are GaugeScale's, tested with it; the
// widget paints each change that shows at once, and nothing else.
struct RepaintCase {
    const char* name;
    int maxValue, progressBefore;
    int newProgress, newMax;
    int repaints;
};

class GaugeRepaints : public testing::TestWithParam<RepaintCase> {};

TEST_P(GaugeRepaints, AtOnceAndOnlyForAChangeThatShows) {
    const RepaintCase& c = GetParam();
    PercentGauge gauge;
    gauge.resize(418, 15);
    gauge.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&gauge));
    gauge.setMaxValue(c.maxValue);
    gauge.setProgress(c.progressBefore);
    QCoreApplication::processEvents();
    const int before = gauge.paintCount();

    gauge.setProgress(c.newProgress);
    gauge.setMaxValue(c.newMax);

    // At once, not at the next turn of the event loop.
    EXPECT_EQ(gauge.paintCount() - before, c.repaints);
    QCoreApplication::processEvents();
    EXPECT_EQ(gauge.paintCount() - before, c.repaints);
}

INSTANTIATE_TEST_SUITE_P(Rules, GaugeRepaints,
                         testing::Values(RepaintCase{"SameWholePercent", 1000, 10, 19, 1000, 0},
                                         RepaintCase{"NextWholePercent", 1000, 10, 20, 1000, 1},
                                         RepaintCase{"LoweredMaxPullsProgressDown", 100, 0, 50, 30, 2},
                                         RepaintCase{"SameMax", 100, 40, 40, 100, 0}),
                         kByName);

struct DrawCase {
    const char* name;
    int progress;
    int barWidth;  // of the 416 inner pixels
};

class GaugeDrawing : public testing::TestWithParam<DrawCase> {};

TEST_P(GaugeDrawing, FrameBarAndXorText) {
    const DrawCase& c = GetParam();
    PercentGauge gauge;
    gauge.resize(418, 15);
    gauge.setProgress(c.progress);
    const QImage image = gauge.grab().toImage();
    ASSERT_EQ(image.size(), QSize(418, 15));

    // Left of the bar's end only blue and yellow (text over the bar), right
    // of it only white and black.
    int blackText = 0, yellowText = 0;
    for (int x = 0; x < 418; ++x)
        for (int y = 0; y < 15; ++y) {
            const QColor pixel = image.pixelColor(x, y);
            if (x == 0 || y == 0 || x == 417 || y == 14) {
                ASSERT_EQ(pixel, Qt::black) << "frame at " << x << "," << y;
            } else if (x <= c.barWidth) {
                ASSERT_TRUE(pixel == Qt::blue || pixel == Qt::yellow) << "bar at " << x << "," << y;
                yellowText += pixel == Qt::yellow;
            } else {
                ASSERT_TRUE(pixel == Qt::white || pixel == Qt::black) << "empty part at " << x << "," << y;
                blackText += pixel == Qt::black;
            }
        }
    // The text sits in the middle (x 209): on white, on blue, or across the bar's end.
    EXPECT_EQ(blackText > 0, c.barWidth < 230);
    EXPECT_EQ(yellowText > 0, c.barWidth > 190);
}

INSTANTIATE_TEST_SUITE_P(Pixels, GaugeDrawing,
                         testing::Values(DrawCase{"NothingAtZero", 0, 0},
                                         DrawCase{"TruncatedWidthAt33", 33, 137},
                                         DrawCase{"TextAcrossBarEndAt50", 50, 208},
                                         DrawCase{"FullInnerWidthAt100", 100, 416}),
                         kByName);

// On a 200 % screen (percent_gauge_test_2x) the gauge's picture has the
// screen's pixels: its frame a logical pixel wide, and its text's glyphs
// drawn at that size, not a 1× picture doubled, in which every aligned
// 2 × 2 block is one colour.
TEST(GaugeOnADoubleScreen, DrawsItsTextAtTheScreensPixels) {
    if (qApp->devicePixelRatio() != 2) GTEST_SKIP() << "runs on a 200 % screen only";
    PercentGauge gauge;
    gauge.resize(418, 15);
    gauge.setProgress(50);
    const QImage image = gauge.grab().toImage();
    ASSERT_EQ(image.size(), QSize(836, 30));
    EXPECT_EQ(image.pixelColor(1, 8), Qt::black);
    EXPECT_EQ(image.pixelColor(2, 8), Qt::blue);
    int blocksOfTwoColours = 0;
    for (int x = 0; x < 836; x += 2)
        for (int y = 0; y < 30; y += 2) {
            const QRgb corner = image.pixel(x, y);
            blocksOfTwoColours += image.pixel(x + 1, y) != corner || image.pixel(x, y + 1) != corner ||
                                  image.pixel(x + 1, y + 1) != corner;
        }
    EXPECT_GT(blocksOfTwoColours, 10);
}

// The gauge's own text drawing against the toolkit's centred text, pixel for
// pixel, for every percentage, in the form's fonts and a few sizes.
TEST(PercentGlyphs, PlacesGlyphsExactlyAsACentredDrawText) {
    QFont japanese;
    japanese.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic")});
    japanese.setPixelSize(12);
    PercentGlyphs text;
    for (QFont font : {QFont(), japanese}) {
        font.setStyleStrategy(QFont::NoAntialias);
        for (const QSize size : {QSize(416, 13), QSize(415, 13), QSize(300, 12), QSize(51, 20)}) {
            for (int percent = 0; percent <= 100; ++percent) {
                QImage expected(size, QImage::Format_RGB32), drawn(size, QImage::Format_RGB32);
                for (QImage* image : {&expected, &drawn}) {
                    image->fill(Qt::white);
                    QPainter painter(image);
                    painter.fillRect(0, 0, size.width() * percent / 100, size.height(), Qt::blue);
                    painter.setPen(Qt::white);
                    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
                    if (image == &expected) {
                        painter.setFont(font);
                        painter.drawText(QRect(QPoint(0, 0), size), Qt::AlignCenter,
                                         QString("%1%").arg(percent));
                    } else {
                        text.draw(painter, QRect(QPoint(0, 0), size), font, percent);
                    }
                }
                ASSERT_EQ(drawn, expected) << font.family().toStdString() << " " << size.width() << "x"
                                           << size.height() << " " << percent << "%";
            }
        }
    }
}

}  // namespace
}  // namespace mirvane::test
