// The main window on a real X server without a window manager: the sizes the
// server reports and the Japanese texts as they are drawn.

#include <gtest/gtest.h>

#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>
#include <QAbstractButton>
#include <QFontInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
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

// One character drawn the way the widgets draw text, from the same origin
// every time, so two characters with the same glyph give the same image.
QImage drawn(const QFont& font, QChar character) {
    QImage image(48, 48, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QPoint(8, 36), QString(character));
    return image;
}

// No font has a glyph for an unassigned code point, so it comes out as the
// missing-glyph box; a character no installed font covers looks the same.
bool drawnAsBox(const QFont& font, QChar character) {
    return drawn(font, character) == drawn(font, QChar(0x0378));
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

TEST_F(WindowOnX, ClientAreaIs418By433AtTopLeftOnceShown) {
    EXPECT_EQ(settled([&] { return form.window->geometry(); }, QRect(0, 0, 418, 433)), QRect(0, 0, 418, 433));
    EXPECT_EQ(serverSize(form.window.get()), QSize(418, 433));
}

TEST_F(WindowOnX, ResizedTo300By200ComesBackToTheMinimum) {
    resizeOnServer(form.window.get(), QSize(300, 200));
    // The server has the small size before the program has heard of it.
    ASSERT_EQ(serverSize(form.window.get()), QSize(300, 200));
    EXPECT_EQ(settled([&] { return form.window->geometry(); }, QRect(0, 0, 418, 433)), QRect(0, 0, 418, 433));
    EXPECT_EQ(settled([&] { return serverSize(form.window.get()); }, QSize(418, 433)), QSize(418, 433));
}

TEST_F(WindowOnX, BoxesAreToldFromGlyphs) {
    // Proves the detector: a missing glyph is recognised, a present one is not.
    EXPECT_TRUE(drawnAsBox(form.window->font(), QChar(0x0379)));
    EXPECT_FALSE(drawnAsBox(form.window->font(), u'開'));
}

// --- Japanese texts -----------------------------------------------------------------

struct TextCase {
    const char* name;
    const char* control;
    int headerColumn;  // the list's column header, or -1 for the control's own text
    const char* text;
};

void PrintTo(const TextCase& c, std::ostream* out) { *out << c.name; }

class JapaneseTexts : public WindowOnX, public testing::WithParamInterface<TextCase> {
protected:
    QString shownText() const {
        const TextCase& c = GetParam();
        if (c.headerColumn >= 0)
            return form.control<QTreeWidget>(c.control)->headerItem()->text(c.headerColumn);
        QWidget* control = form.control<QWidget>(c.control);
        if (auto* button = qobject_cast<QAbstractButton*>(control)) return button->text();
        return qobject_cast<QLabel*>(control)->text();
    }

    QFont shownFont() const {
        const TextCase& c = GetParam();
        if (c.headerColumn >= 0) return form.control<QTreeWidget>(c.control)->header()->font();
        return form.control<QWidget>(c.control)->font();
    }
};

TEST_P(JapaneseTexts, ComeFromAFontThatHasEveryCharacter) {
    ASSERT_EQ(shownText(), QString::fromUtf8(GetParam().text));
    // The first font the control's font resolves to, without the fallbacks
    // that would hide a font lacking Japanese.
    const QRawFont primary = QRawFont::fromFont(shownFont());
    ASSERT_TRUE(primary.isValid());
    EXPECT_EQ(primary.familyName(), QFontInfo(shownFont()).family());
    for (QChar character : shownText())
        EXPECT_TRUE(primary.supportsCharacter(character))
            << primary.familyName().toStdString() << " lacks U+" << std::hex << int(character.unicode());
}

TEST_P(JapaneseTexts, DrawNoMissingGlyphBoxes) {
    for (QChar character : shownText())
        EXPECT_FALSE(drawnAsBox(shownFont(), character)) << "U+" << std::hex << int(character.unicode());
}

INSTANTIATE_TEST_SUITE_P(
    Window, JapaneseTexts,
    testing::Values(TextCase{"StartButton", "btnStart", -1, "開始"},
                    TextCase{"ClearButton", "btnAllClr", -1, "すべてクリア"},
                    TextCase{"PresetCaption", "Label1", -1, "コンバート"},
                    TextCase{"DirectShowBox", "chkDShow", -1, "DirectShowを使用(Avisynthが必要)"},
                    TextCase{"DropHint", "txtDrag", -1, "ここに動画ファイルをドラッグ＆ドロップしてください"},
                    TextCase{"FileNameHeader", "lvData", 0, "ファイル名"},
                    TextCase{"StatusHeader", "lvData", 1, "ステータス"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace mirvane::test
