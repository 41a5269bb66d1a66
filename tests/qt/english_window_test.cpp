// The Qt window made in English: its controls as assistive technology reads
// them through Qt's interfaces, its rows, its file dialog, and every caption
// within its control (also run at 200 %).

#include <QAccessible>
#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "engine/texts/texts.h"
#include "form_fixture.h"
#include "ui_test_main.h"

namespace mirvane::test {
namespace {

// The language for the window made after it; Japanese again for the next test.
struct English {
    English() { texts::useLanguage("en_US.UTF-8"); }
    ~English() { texts::useLanguage("ja"); }
};

struct EnglishWindow : testing::Test {
    void SetUp() override {
        form.window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.window.get()));
    }
    QAccessibleInterface* accessible(const char* name) const {
        return QAccessible::queryAccessibleInterface(form.control<QWidget>(name));
    }

    English english;
    ProgramFolder folder;
    Form form{folder};
};

TEST_F(EnglishWindow, EveryControlIsNamedInEnglishForAssistiveTechnology) {
    for (auto [name, role, text] :
         {std::tuple{"startButton", QAccessible::Button, "Start"},
          {"clearButton", QAccessible::Button, "Clear all"},
          {"presetLabel", QAccessible::StaticText, "Preset"},
          {"presetList", QAccessible::List, "Preset"},
          {"directShowBox", QAccessible::CheckBox, "Use DirectShow (needs AviSynth)"},
          {"gauge", QAccessible::ProgressBar, "Progress"},
          {"jobList", QAccessible::Tree, "File list"},
          {"dropHint", QAccessible::StaticText, "Drag and drop video files here"}}) {
        ASSERT_NE(accessible(name), nullptr) << name;
        EXPECT_EQ(accessible(name)->role(), role) << name;
        EXPECT_EQ(accessible(name)->text(QAccessible::Name), text) << name;
    }
    auto* header = form.control<QTreeWidget>("jobList")->headerItem();
    EXPECT_EQ(QStringList({header->text(0), header->text(1)}), QStringList({"File name", "Status"}));
    // A screen reader picks its voice by the language the window says it speaks.
    EXPECT_EQ(form.window->locale().language(), QLocale::English);
}

// The encoder (/bin/true) prints nothing: the row fails with Mirvane's own reason.
TEST_F(EnglishWindow, RowsAndTheirReasonsAreInEnglish) {
    form.window->openHandedOverFiles({folder.dir.write("a.avi", "not a video")});
    ASSERT_EQ(settled([&] { return form.column(1); }, QStringList{"Pending"}), QStringList{"Pending"});
    QTest::mouseClick(form.control<QPushButton>("startButton"), Qt::LeftButton);
    EXPECT_EQ(settled([&] { return form.column(1); }, QStringList{"Error"}), QStringList{"Error"});
    QAccessibleInterface* status = accessible("jobList")->tableInterface()->cellAt(0, 1);
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->text(QAccessible::Description), "Error: ffmpeg ended without printing anything");
    EXPECT_EQ(form.control<QPushButton>("startButton")->text(), "Start");
}

TEST_F(EnglishWindow, TheFileDialogAsksInEnglish) {
    QString title;
    QTimer::singleShot(100, [&] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            title = dialog->windowTitle();
            dialog->reject();
        }
    });
    form.window->activateWindow();
    form.control<QWidget>("presetList")->setFocus();
    QTest::keyClick(form.control<QWidget>("presetList"), Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(title, "Add files");
}

// A caption cut short says nothing: each one, the start button's both among
// them, fits its control's width in the control's own font.
TEST_F(EnglishWindow, EveryCaptionFitsItsControl) {
    for (auto [name, caption] : {std::pair{"startButton", texts::kCaptionStart.c_str()},
                                 {"startButton", texts::kCaptionStop.c_str()},
                                 {"clearButton", texts::kCaptionClearAll.c_str()}}) {
        auto* button = form.control<QPushButton>(name);
        const int text = button->fontMetrics().horizontalAdvance(QString::fromUtf8(caption));
        EXPECT_LE(text + 8, button->contentsRect().width()) << caption;
    }
    for (const char* name : {"presetLabel", "directShowBox", "dropHint"}) {
        auto* control = form.control<QWidget>(name);
        EXPECT_LE(control->sizeHint().width(), control->width()) << name;
    }
}

}  // namespace
}  // namespace mirvane::test
