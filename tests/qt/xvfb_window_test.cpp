// The main window on a real X server without a window manager: the sizes the
// server reports and the Japanese texts as they are drawn.

#include <gtest/gtest.h>

#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>
#include <QGuiApplication>
#include <QHeaderView>
#include <QImage>
#include <QPainter>
#include <QRawFont>
#include <QScreen>
#include <QTreeWidget>

#include "form_fixture.h"
#include "ui_test_main.h"

namespace mirvane::test {
namespace {

// The size of the window as the X server has it, not as Qt last asked for
// it: a grab of the whole window is exactly as large as the server's window.
QSize serverSize(QWidget* window) {
    return QGuiApplication::primaryScreen()->grabWindow(window->winId()).size();
}

// Resizes the window on the server, as a window manager does when the user
// drags the frame; the program learns of it only from the server's notice.
void resizeOnServer(QWidget* window, QSize size) {
    xcb_connection_t* connection =
        qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    const uint32_t values[] = {uint32_t(size.width()), uint32_t(size.height())};
    xcb_configure_window(connection, xcb_window_t(window->winId()),
                         XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, values);
    xcb_flush(connection);
}

// No font has a glyph for an unassigned code point, so it comes out as the
// missing-glyph box; a character no installed font covers looks the same.
// Both are drawn the way the widgets draw text, from the same origin.
bool drawnAsBox(const QFont& font, QChar character) {
    auto drawn = [&](QChar shown) {
        QImage image(48, 48, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setFont(font);
        painter.drawText(QPoint(8, 36), QString(shown));
        return image;
    };
    return drawn(character) == drawn(QChar(0x0378));
}

class WindowOnX : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(QGuiApplication::platformName(), "xcb") << "run under an X server with QT_QPA_PLATFORM=xcb";
        form.window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.window.get()));
    }

    ProgramFolder folder;
    Form form{folder};
};

TEST_F(WindowOnX, ClientAreaIs418By433AtTopLeftAndComesBackAfterA300By200Resize) {
    const QRect minimum(0, 0, 418, 433);
    EXPECT_EQ(settled([&] { return form.window->geometry(); }, minimum), minimum);
    EXPECT_EQ(serverSize(form.window.get()), minimum.size());

    resizeOnServer(form.window.get(), QSize(300, 200));
    // The server has the small size before the program has heard of it.
    ASSERT_EQ(serverSize(form.window.get()), QSize(300, 200));
    EXPECT_EQ(settled([&] { return serverSize(form.window.get()); }, minimum.size()), minimum.size());
    EXPECT_EQ(form.window->geometry(), minimum);
}

TEST_F(WindowOnX, JapaneseTextsComeFromAFontWithEveryCharacterAndShowNoBoxes) {
    auto* list = form.control<QTreeWidget>("jobList");
    QList<std::pair<QFont, QString>> shown;
    for (const char* name : {"startButton", "clearButton", "presetLabel", "directShowBox", "dropHint"})
        shown << std::pair{form.control<QWidget>(name)->font(),
                           form.control<QWidget>(name)->property("text").toString()};
    for (int column : {0, 1}) shown << std::pair{list->header()->font(), list->headerItem()->text(column)};
    QStringList texts;
    for (const auto& [font, text] : shown) texts << text;
    EXPECT_EQ(texts, QStringList({"開始", "すべてクリア", "コンバート", "DirectShowを使用(Avisynthが必要)",
                                  "ここに動画ファイルをドラッグ＆ドロップしてください", "ファイル名",
                                  "ステータス"}));

    for (const auto& [font, text] : shown) {
        // The first font the control's font resolves to, without the
        // fallbacks that would hide a font lacking Japanese.
        const QRawFont primary = QRawFont::fromFont(font);
        ASSERT_TRUE(primary.isValid());
        ASSERT_TRUE(drawnAsBox(font, QChar(0x0379)));  // the box detector itself works
        for (QChar character : text) {
            EXPECT_TRUE(primary.supportsCharacter(character)) << "U+" << std::hex << int(character.unicode());
            EXPECT_FALSE(drawnAsBox(font, character)) << "U+" << std::hex << int(character.unicode());
        }
    }
}

}  // namespace
}  // namespace mirvane::test
