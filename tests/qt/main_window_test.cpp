#include <gtest/gtest.h>

#include <QHelpEvent>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTextDocument>
#include <QToolTip>
#include <QTreeWidget>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include "form_fixture.h"
#include "qt/percent_gauge.h"
#include "ui_test_main.h"

namespace mirvane::test {
namespace {

using QtMainWindow = ShownForm;

TEST_F(QtMainWindow, PresetRowsAreTwelvePixelsHigh) {
    auto* presets = form.control<QListWidget>("presetList");
    ASSERT_GT(presets->count(), 1);
    EXPECT_EQ(presets->visualItemRect(presets->item(1)).top(),
              presets->visualItemRect(presets->item(0)).top() + 12);
}

TEST_F(QtMainWindow, TabGoesThroughPanelThenList) {
    form.control<QWidget>("startButton")->setFocus();
    QStringList visited;
    for (int i = 0; i < 5; ++i) {
        visited << QApplication::focusWidget()->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(visited, QStringList({"startButton", "clearButton", "presetList", "directShowBox", "jobList"}));
}

// Client sizes: the window counts a frame of 8 x 27 pixels on top, so its
// outer minimum of 426 x 460 is a client minimum of 418 x 433.
struct ResizeCase {
    const char* name;
    QSize requested;
    QSize expected;
    bool hintHidden;  // a hidden hint keeps its place
    int hintWidth;    // outer width less 15
};

class Resizing : public ShownForm, public testing::WithParamInterface<ResizeCase> {};

TEST_P(Resizing, KeepsMinimumAndLaysOutControls) {
    const ResizeCase& c = GetParam();
    auto* hint = form.control<QLabel>("dropHint");
    hint->setHidden(c.hintHidden);
    form.window->resize(c.requested);
    EXPECT_EQ(settled([&] { return form.window->size(); }, c.expected), c.expected);
    const QRect hintPlace(5, 248, c.hintWidth, 16);
    EXPECT_EQ(settled([&] { return hint->geometry(); }, hintPlace), hintPlace);
    // The list and the strips above it stretch; the panel's contents and the columns do not.
    const int width = c.expected.width();
    auto* list = form.control<QTreeWidget>("jobList");
    EXPECT_EQ(form.control<QWidget>("panel")->geometry(), QRect(0, 0, width, 85));
    EXPECT_EQ(form.control<QWidget>("gauge")->geometry(), QRect(0, 85, width, 15));
    EXPECT_EQ(list->geometry(), QRect(0, 100, width, c.expected.height() - 100));
    for (auto [name, place] : {std::pair{"startButton", QRect(4, 4, 85, 45)},
                               {"clearButton", QRect(92, 4, 81, 45)},
                               {"presetLabel", QRect(196, 4, 52, 12)},
                               {"presetList", QRect(248, 4, 169, 77)},
                               {"directShowBox", QRect(8, 60, 213, 13)}})
        EXPECT_EQ(form.control<QWidget>(name)->geometry(), place) << name;
    EXPECT_EQ(list->columnWidth(0), 320);
    EXPECT_EQ(list->columnWidth(1), 80);
    // The hint lies above the list.
    EXPECT_EQ(form.window->childAt(hint->geometry().center()), c.hintHidden ? list->viewport() : hint);
}

INSTANTIATE_TEST_SUITE_P(Rules, Resizing,
                         testing::Values(ResizeCase{"AsCreated", {418, 433}, {418, 433}, false, 411},
                                         ResizeCase{"TooSmallBothWays", {300, 200}, {418, 433}, false, 411},
                                         ResizeCase{"TooLowOnly", {500, 200}, {500, 433}, false, 493},
                                         ResizeCase{"TooNarrowOnly", {300, 600}, {418, 600}, false, 411},
                                         ResizeCase{"OuterWidth800", {792, 500}, {792, 500}, false, 785},
                                         ResizeCase{"HintHidden", {792, 500}, {792, 500}, true, 411}),
                         kByName);

struct KeyCase {
    const char* name;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    bool logEnabledAfter;
};

class LogKey : public ShownForm, public testing::WithParamInterface<KeyCase> {};

TEST_P(LogKey, OnlyCtrlF1WhileIdleAndNeverConsumed) {
    const KeyCase& c = GetParam();
    auto* focused = form.control<QListWidget>("presetList");
    focused->setFocus();
    KeyCounter counter(c.key);
    focused->installEventFilter(&counter);

    QTest::keyClick(focused, c.key, c.modifiers);

    EXPECT_EQ(form.flags.logEnabled.load(), c.logEnabledAfter);
    EXPECT_EQ(counter.presses, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, LogKey,
    testing::Values(KeyCase{"CtrlF1", Qt::Key_F1, Qt::ControlModifier, false},
                    KeyCase{"CtrlShiftF1", Qt::Key_F1, Qt::ControlModifier | Qt::ShiftModifier, false},
                    KeyCase{"CtrlAltF1", Qt::Key_F1, Qt::ControlModifier | Qt::AltModifier, false},
                    KeyCase{"F1Alone", Qt::Key_F1, Qt::NoModifier, true},
                    KeyCase{"CtrlF2", Qt::Key_F2, Qt::ControlModifier, true}),
    kByName);

// The hint is a white strip over the list; the status column is centred.
TEST_F(QtMainWindow, HintIsWhiteAndStatusesAreCentred) {
    auto* hint = form.control<QLabel>("dropHint");
    const QImage picture = hint->grab().toImage();
    int white = 0;
    for (int x = 0; x < picture.width(); ++x) white += QColor(picture.pixel(x, 1)) == Qt::white;
    EXPECT_GT(white, picture.width() * 3 / 4);

    form.window->view().rowsAppended(std::vector<JobRow>{{"/v/a.avi", JobStatus::Pending, {}}});
    auto* list = form.control<QTreeWidget>("jobList");
    EXPECT_EQ(list->topLevelItem(0)->textAlignment(1), Qt::AlignCenter);
}

// A tooltip's text as it shows: rich text when it looks like markup, read
// as the document's words.
QString shownAs(const QString& tip) {
    if (!Qt::mightBeRichText(tip)) return tip;
    QTextDocument document;
    document.setHtml(tip);
    return document.toPlainText();
}

// A failed row tells why when the pointer rests on its status, in the
// reason's own words and spaces, also where a file name in it reads like markup.
TEST_F(QtMainWindow, FailedRowShowsItsReasonAsTheStatusTooltip) {
    auto* list = form.control<QTreeWidget>("jobList");
    form.window->view().rowsAppended(std::vector<JobRow>{{"/v/a.avi", JobStatus::Pending, {}}});
    for (const std::string reason :
         {"a.avi: Invalid data", "/v/<h1><font color=blue>変換済 OK<br>.avi: Invalid data",
          "<b>x</b>  &amp; y"}) {
        form.window->view().rowChanged(0, JobRow{"/v/a.avi", JobStatus::Failed, reason});
        const QRect cell = list->visualRect(list->model()->index(0, 1));
        QHelpEvent hover(QEvent::ToolTip, cell.center(), list->viewport()->mapToGlobal(cell.center()));
        QApplication::sendEvent(list->viewport(), &hover);
        const QString expected = QString::fromStdString(reason);
        EXPECT_EQ(settled([] { return shownAs(QToolTip::text()); }, expected).toStdString(), reason);
    }
}

// The shipped presets are read in a window that is 169 pixels wide there.
TEST(ShippedPresets, TitlesFitThePresetListWhole) {
    std::ifstream shipped(std::string(MIRVANE_SOURCE_DIR) + "/MovieSet.ini", std::ios::binary);
    const std::string settings((std::istreambuf_iterator<char>(shipped)), std::istreambuf_iterator<char>());
    ProgramFolder folder(settings.c_str());
    Form form(folder);
    form.window->show();
    auto* presets = form.control<QListWidget>("presetList");
    ASSERT_EQ(presets->count(), 5);
    for (int row = 0; row < presets->count(); ++row) {
        const QString title = presets->item(row)->text();
        EXPECT_LE(presets->visualItemRect(presets->item(row)).left() +
                      presets->fontMetrics().horizontalAdvance(title),
                  presets->viewport()->width())
            << title.toStdString();
    }
}

// A new percentage repaints the gauge's pixels and nothing else of the window.
TEST_F(QtMainWindow, AGaugeChangePaintsTheGaugeAlone) {
    struct PaintRecorder : QObject {
        bool eventFilter(QObject* watched, QEvent* event) override {
            if (event->type() == QEvent::Paint) painted << watched->objectName();
            return false;
        }
        QStringList painted;
    } recorder;
    QCoreApplication::processEvents();
    qApp->installEventFilter(&recorder);
    form.control<PercentGauge>("gauge")->setProgress(50);
    QCoreApplication::processEvents();
    qApp->removeEventFilter(&recorder);
    EXPECT_EQ(recorder.painted, QStringList{"gauge"});
}

// The hand-over listener calls from its own thread: the lists wait for the
// UI thread, which adds them as rows in the order they came.
TEST_F(QtMainWindow, FilesHandedOverOnAnotherThreadBecomeRowsOnTheUiThread) {
    std::thread listener([&] {
        form.window->openHandedOverFiles({"/v/a.avi", "/v/b.avi"});
        form.window->openHandedOverFiles({"/v/c.avi"});
    });
    listener.join();
    EXPECT_TRUE(form.column(0).isEmpty()) << "the rows were touched off the UI thread";
    const QStringList expected{"/v/a.avi", "/v/b.avi", "/v/c.avi"};
    EXPECT_EQ(settled([&] { return form.column(0); }, expected), expected);
    EXPECT_TRUE(form.control<QLabel>("dropHint")->isHidden());
}

}  // namespace
}  // namespace mirvane::test
