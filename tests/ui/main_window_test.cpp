#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDragEnterEvent>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "form_fixture.h"
#include "ui_test_main.h"

namespace mirvane::test {
namespace {

class MainWindow : public testing::Test {
protected:
    void SetUp() override {
        form.window->show();
        form.window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.window.get()));
    }

    ProgramFolder folder;
    Form form{folder};
};

// --- Controls where the window puts them ---------------------------------------

struct PlaceCase {
    const char* name;
    QRect geometry;  // in the parent's client area
};

class ControlPlaces : public MainWindow, public testing::WithParamInterface<PlaceCase> {};

TEST_P(ControlPlaces, AtCreationSize) {
    QWidget* control = form.control<QWidget>(GetParam().name);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->geometry(), GetParam().geometry);
}

INSTANTIATE_TEST_SUITE_P(
    Layout, ControlPlaces,
    testing::Values(PlaceCase{"Panel1", {0, 0, 418, 85}}, PlaceCase{"Gauge1", {0, 85, 418, 15}},
                    PlaceCase{"lvData", {0, 100, 418, 333}}, PlaceCase{"btnStart", {4, 4, 85, 45}},
                    PlaceCase{"btnAllClr", {92, 4, 81, 45}}, PlaceCase{"Label1", {196, 4, 52, 12}},
                    PlaceCase{"lbTo", {248, 4, 169, 77}}, PlaceCase{"chkDShow", {8, 60, 213, 13}},
                    // Laid out by the resize at creation: left 5, outer width 426 less 15.
                    PlaceCase{"txtDrag", {5, 248, 411, 16}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainWindow, ClientAreaAndListColumnsAtCreation) {
    EXPECT_EQ(form.window->size(), QSize(418, 433));
    auto* list = form.control<QTreeWidget>("lvData");
    EXPECT_EQ(list->columnWidth(0), 320);
    EXPECT_EQ(list->columnWidth(1), 80);
    EXPECT_EQ(list->headerItem()->text(0), "ファイル名");
    EXPECT_EQ(list->headerItem()->text(1), "ステータス");
}

TEST_F(MainWindow, DropHintLiesAboveTheList) {
    auto* hint = form.control<QLabel>("txtDrag");
    EXPECT_EQ(form.window->childAt(hint->geometry().center()), hint);
}

TEST_F(MainWindow, PresetRowsAreTwelvePixelsHigh) {
    auto* presets = form.control<QListWidget>("lbTo");
    ASSERT_GT(presets->count(), 1);
    EXPECT_EQ(presets->visualItemRect(presets->item(0)).height(), 12);
    EXPECT_EQ(presets->visualItemRect(presets->item(1)).top(),
              presets->visualItemRect(presets->item(0)).top() + 12);
}

TEST_F(MainWindow, TabGoesThroughPanelThenList) {
    form.control<QWidget>("btnStart")->setFocus();
    QStringList visited;
    for (int i = 0; i < 5; ++i) {
        visited << QApplication::focusWidget()->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(visited, QStringList({"btnStart", "btnAllClr", "lbTo", "chkDShow", "lvData"}));
}

TEST_F(MainWindow, AcceptsDraggedFilesButNotText) {
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile("/videos/a.mp4")});
    QDragEnterEvent enter(QPoint(200, 200), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form.window.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());

    QMimeData text;
    text.setText("not a file");
    QDragEnterEvent enterText(QPoint(200, 200), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form.window.get(), &enterText);
    EXPECT_FALSE(enterText.isAccepted());
}

// --- Minimum size and the hint's layout ------------------------------------------
// Client sizes: the window counts a frame of 8 x 27 pixels on top, so its
// outer minimum of 426 x 460 is a client minimum of 418 x 433.

struct ResizeCase {
    const char* name;
    QSize requested;
    QSize expected;
    int hintWidth;  // outer width less 15
};

class Resizing : public MainWindow, public testing::WithParamInterface<ResizeCase> {};

TEST_P(Resizing, KeepsMinimumAndLaysOutHint) {
    const ResizeCase& c = GetParam();
    form.window->resize(c.requested);
    EXPECT_EQ(settled([&] { return form.window->size(); }, c.expected), c.expected);
    auto* hint = form.control<QLabel>("txtDrag");
    EXPECT_EQ(settled([&] { return hint->geometry(); }, QRect(5, 248, c.hintWidth, 16)),
              QRect(5, 248, c.hintWidth, 16));
}

INSTANTIATE_TEST_SUITE_P(Rules, Resizing,
                         testing::Values(ResizeCase{"TooSmallBothWays", {300, 200}, {418, 433}, 411},
                                         ResizeCase{"TooLowOnly", {500, 200}, {500, 433}, 493},
                                         ResizeCase{"TooNarrowOnly", {300, 600}, {418, 600}, 411},
                                         ResizeCase{"OuterWidth800", {792, 500}, {792, 500}, 785}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainWindow, WideningStretchesListButNotPanelContentsOrColumns) {
    form.window->resize(792, 433);
    auto* list = form.control<QTreeWidget>("lvData");
    EXPECT_EQ(settled([&] { return list->width(); }, 792), 792);
    EXPECT_EQ(form.control<QWidget>("Panel1")->width(), 792);
    EXPECT_EQ(form.control<QWidget>("Gauge1")->width(), 792);
    EXPECT_EQ(list->columnWidth(0), 320);
    EXPECT_EQ(list->columnWidth(1), 80);
    EXPECT_EQ(form.control<QWidget>("lbTo")->geometry(), QRect(248, 4, 169, 77));
}

TEST_F(MainWindow, HiddenHintKeepsItsLastLayout) {
    auto* hint = form.control<QLabel>("txtDrag");
    hint->hide();
    form.window->resize(600, 500);
    EXPECT_EQ(settled([&] { return form.window->size(); }, QSize(600, 500)), QSize(600, 500));
    EXPECT_EQ(hint->geometry(), QRect(5, 248, 411, 16));
    hint->show();
    EXPECT_EQ(hint->geometry(), QRect(5, 248, 411, 16));
    form.window->resize(700, 500);
    EXPECT_EQ(settled([&] { return hint->geometry(); }, QRect(5, 248, 693, 16)), QRect(5, 248, 693, 16));
}

// --- Ctrl+F1 switches the log off while idle ---------------------------------------

struct KeyCase {
    const char* name;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    const char* startCaption;
    bool logEnabledAfter;
};

class LogKey : public MainWindow, public testing::WithParamInterface<KeyCase> {};

TEST_P(LogKey, OnlyCtrlF1WhileIdle) {
    const KeyCase& c = GetParam();
    form.control<QPushButton>("btnStart")->setText(QString::fromUtf8(c.startCaption));
    auto* focused = form.control<QListWidget>("lbTo");
    focused->setFocus();
    KeyCounter counter(c.key);
    focused->installEventFilter(&counter);

    QTest::keyClick(focused, c.key, c.modifiers);

    EXPECT_EQ(form.unit.LogEnabled.load(), c.logEnabledAfter);
    EXPECT_EQ(counter.presses, 1) << "the key must still reach the focused control";
}

INSTANTIATE_TEST_SUITE_P(
    Rules, LogKey,
    testing::Values(KeyCase{"CtrlF1", Qt::Key_F1, Qt::ControlModifier, "開始", false},
                    KeyCase{"CtrlShiftF1", Qt::Key_F1, Qt::ControlModifier | Qt::ShiftModifier, "開始",
                            false},
                    KeyCase{"CtrlAltF1", Qt::Key_F1, Qt::ControlModifier | Qt::AltModifier, "開始", false},
                    KeyCase{"F1Alone", Qt::Key_F1, Qt::NoModifier, "開始", true},
                    KeyCase{"ShiftF1", Qt::Key_F1, Qt::ShiftModifier, "開始", true},
                    KeyCase{"CtrlF2", Qt::Key_F2, Qt::ControlModifier, "開始", true},
                    KeyCase{"CtrlF1DuringBatch", Qt::Key_F1, Qt::ControlModifier, "停止", true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace mirvane::test
