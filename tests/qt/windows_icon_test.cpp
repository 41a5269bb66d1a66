// The Windows program's icon file holds the picture this window draws, at
// every size, so that the two programs show one icon.

#include <gtest/gtest.h>

#include <QImage>
#include <QImageReader>

#include "qt/app_icon.h"
#include "ui_test_main.h"

namespace mirvane::test {
namespace {

TEST(WindowsIcon, TheIconFileHoldsTheDrawnIconAtEverySize) {
    QImageReader reader(QStringLiteral(MIRVANE_SOURCE_DIR "/src/win32/resources/Mirvane.ico"), "ico");
    const QList<int> sizes = appIconSizes();
    ASSERT_EQ(reader.imageCount(), sizes.size()) << reader.errorString().toStdString();
    for (int size : sizes) {
        QImage stored;
        // The reader's images in any order: find the one of this size.
        for (int index = 0; index < reader.imageCount(); ++index) {
            reader.jumpToImage(index);
            const QImage image = reader.read();
            if (image.width() == size) stored = image.convertToFormat(QImage::Format_ARGB32);
        }
        ASSERT_FALSE(stored.isNull()) << size;
        const QImage drawn = appIcon().pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32);
        EXPECT_EQ(stored, drawn) << size << " px: run make_windows_icon src/win32/resources/Mirvane.ico";
    }
}

}  // namespace
}  // namespace mirvane::test
