// The icon the window draws for itself and the one installed for desktops
// (rendered from the SVG at build time) are the same picture, so that the
// menu, the task bar and the window never show two different icons.

#include <gtest/gtest.h>

#include <QIcon>
#include <QImage>
#include <cstdlib>
#include <string>

#include "qt/app_icon.h"
#include "ui_test_main.h"

namespace mirvane::test {
namespace {

struct Difference {
    double meanPerChannel = 0;    // 0..255 over every channel of every pixel
    double shareOfPixelsOff = 0;  // pixels with a channel more than 64 apart
};

Difference compare(const QImage& drawn, const QImage& installed) {
    const QImage a = drawn.convertToFormat(QImage::Format_ARGB32);
    const QImage b = installed.convertToFormat(QImage::Format_ARGB32);
    long long sum = 0;
    int off = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            const int channels[] = {std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                    std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))};
            int largest = 0;
            for (int channel : channels) {
                sum += channel;
                largest = std::max(largest, channel);
            }
            if (largest > 64) ++off;
        }
    }
    const double pixels = double(a.width()) * a.height();
    return {sum / (pixels * 4), off / pixels};
}

TEST(AppIcon, TheWindowsIconIsTheInstalledOne) {
    for (int size : {16, 24, 32, 48, 64, 128}) {
        SCOPED_TRACE(size);
        const QString path =
            QString("%1/%2x%2/io.github.mirvane.Mirvane.png").arg(MIRVANE_ICON_DIR).arg(size);
        const QImage installed(path);
        ASSERT_FALSE(installed.isNull()) << path.toStdString();
        ASSERT_EQ(installed.size(), QSize(size, size));
        const QImage drawn = appIcon().pixmap(size, size).toImage();
        ASSERT_EQ(drawn.size(), installed.size());
        // Two renderers smooth edges a little differently; a moved shape or
        // another colour is far beyond this.
        const Difference difference = compare(drawn, installed);
        EXPECT_LT(difference.meanPerChannel, 1.0);
        EXPECT_LT(difference.shareOfPixelsOff, 0.005);
    }
}

}  // namespace
}  // namespace mirvane::test
