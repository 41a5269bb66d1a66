#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDropEvent>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <QUrl>
#include <functional>

#include "form_fixture.h"
#include "qt/percent_gauge.h"
#include "ui_test_main.h"

namespace mirvane::test {
namespace {

const QString kPending = "未変換";
const QString kError = "エラー";

struct JobRows : ShownForm {
    QTreeWidget* list() const { return form.control<QTreeWidget>("jobList"); }
    QLabel* hint() const { return form.control<QLabel>("dropHint"); }
    PercentGauge* gauge() const { return form.control<PercentGauge>("gauge"); }
    QListWidget* presets() const { return form.control<QListWidget>("presetList"); }

    // What a file manager does: the drag enters over `target` and, if the
    // window takes it, drops there. Items starting with '/' are local files,
    // the others URLs. Returns whether the window took the drop.
    bool drop(QWidget* target, const QStringList& items) {
        QList<QUrl> urls;
        for (const QString& item : items)
            urls << (item.startsWith('/') ? QUrl::fromLocalFile(item) : QUrl(item));
        QMimeData data;
        data.setUrls(urls);
        const QPoint spot = target->rect().center();
        QDragEnterEvent enter(spot, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        if (!enter.isAccepted()) return false;
        QDropEvent dropped(QPointF(spot), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        dropped.setAccepted(false);
        QApplication::sendEvent(target, &dropped);
        return dropped.isAccepted();
    }

    // Pending rows /videos/clip<i>.avi.
    void addRows(int count) {
        QStringList paths;
        for (int i = 0; i < count; ++i) paths << QString("/videos/clip%1.avi").arg(i);
        ASSERT_TRUE(drop(form.window.get(), paths));
        ASSERT_EQ(list()->topLevelItemCount(), count);
    }
};

// Each drop lands on a list holding one converted row, with the hint shown
// and another window in front, so that it can be seen whether the drop
// hides the one and brings the main window forward.
struct DropCase {
    const char* name;
    const char* target;  // the control the files are let go over; empty: the window
    QStringList items;
    QStringList added;
};

class Drops : public JobRows, public testing::WithParamInterface<DropCase> {};

TEST_P(Drops, AddEveryFileUntestedInDragOrderAndNothingElse) {
    const DropCase& c = GetParam();
    addRows(1);
    hint()->show();
    gauge()->setProgress(30);
    QWidget* target = *c.target ? form.control<QWidget>(c.target) : form.window.get();
    if (auto* view = qobject_cast<QAbstractItemView*>(target)) target = view->viewport();
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));

    EXPECT_TRUE(drop(target, c.items));  // also when it adds nothing

    EXPECT_EQ(form.column(0), QStringList{"/videos/clip0.avi"} + c.added);
    EXPECT_EQ(form.column(1), QStringList(c.added.size() + 1, kPending));
    EXPECT_EQ(hint()->isHidden(), !c.added.isEmpty());
    EXPECT_EQ(gauge()->progress(), 30);
    EXPECT_TRUE(list()->updatesEnabled());
    QWidget* front = c.added.isEmpty() ? &other : form.window.get();
    EXPECT_EQ(settled([] { return QApplication::activeWindow(); }, front), front);
}

// A folder would stand for its videos: that is the engine's, tested there.
const QStringList kOddFiles = {"/videos/z.mp4", "/videos/clip0.avi", "/nowhere/missing.txt",
                               "/nowhere/missing.txt", "/videos/ビデオ 100% #1 & [b].mp4"};

INSTANTIATE_TEST_SUITE_P(
    Cases, Drops,
    testing::Values(DropCase{"OnTheListDuplicatesAndMissingFilesAdded", "jobList", kOddFiles, kOddFiles},
                    DropCase{"OnTheHintWebAddressesAmongFilesLeftOut",
                             "dropHint",
                             {"/videos/a.mp4", "https://example.org/b.mp4", "/videos/c.mp4"},
                             {"/videos/a.mp4", "/videos/c.mp4"}},
                    DropCase{"OnThePresetsFileAdded", "presetList", {"/videos/a.mp4"}, {"/videos/a.mp4"}},
                    DropCase{"NoUrl", "", {}, {}},
                    DropCase{"WebAddressesOnly", "", {"https://example.org/a.mp4"}, {}}),
    kByName);

// Names in Shift-JIS or Latin-1 bytes arrive percent-encoded; the row keeps
// their bytes for the encoder and shows them as well as Qt can.
TEST_F(JobRows, DroppedNamesThatAreNotUtf8KeepTheirBytes) {
    ASSERT_TRUE(
        drop(form.window.get(), {"file:///videos/%83%72%83%66%83%49.avi", "file:///videos/caf%E9%20b.avi"}));

    const JobList& jobs = form.window->presenter().jobs();
    ASSERT_EQ(jobs.size(), 2);
    EXPECT_EQ(jobs.row(0).path, "/videos/\x83\x72\x83\x66\x83\x49.avi");
    EXPECT_EQ(jobs.row(1).path, "/videos/caf\xe9 b.avi");
    EXPECT_TRUE(form.column(0)[1].startsWith("/videos/caf")) << form.column(0)[1].toStdString();
}

// One row per character of `selection`, 'x' for a selected one. What a
// removal does to the gauge and the hint is the presenter's, tested there.
struct DeleteCase {
    const char* name;
    Qt::KeyboardModifiers modifiers;
    QString selection;
    bool listFocused;
    bool removes;
};

class DeleteKey : public JobRows, public testing::WithParamInterface<DeleteCase> {};

TEST_P(DeleteKey, RemovesSelectedRowsWhileIdleAndIsNotConsumed) {
    const DeleteCase& c = GetParam();
    addRows(static_cast<int>(c.selection.size()));
    QStringList all, unselected;
    for (int row = 0; row < c.selection.size(); ++row) {
        list()->topLevelItem(row)->setSelected(c.selection[row] == 'x');
        all << list()->topLevelItem(row)->text(0);
        if (c.selection[row] != 'x') unselected << all.last();
    }
    QWidget* focused = c.listFocused ? static_cast<QWidget*>(list()) : presets();
    focused->setFocus();
    KeyCounter counter(Qt::Key_Delete);
    focused->installEventFilter(&counter);

    QTest::keyClick(focused, Qt::Key_Delete, c.modifiers);

    EXPECT_EQ(form.column(0), c.removes ? unselected : all);
    EXPECT_EQ(counter.presses, 1);
}

const Qt::KeyboardModifiers kCtrlAltKeypad = Qt::ControlModifier | Qt::AltModifier | Qt::KeypadModifier;

INSTANTIATE_TEST_SUITE_P(Cases, DeleteKey,
                         testing::Values(DeleteCase{"ThreeOfFive", Qt::NoModifier, "x.xx.", true, true},
                                         DeleteCase{"WithShift", Qt::ShiftModifier, "x.xx.", true, true},
                                         DeleteCase{"WithCtrlAltOnTheKeypad", kCtrlAltKeypad, "x.xx.", true,
                                                    true},
                                         DeleteCase{"TheLastRows", Qt::NoModifier, "xx", true, true},
                                         DeleteCase{"ListWithoutFocus", Qt::NoModifier, "xx", false, false}),
                         kByName);

// Rows are taken out and put back at once, so the row at the top of the view
// and the focus row are put back in place by hand.
TEST_F(JobRows, DeleteKeepsTheTopAndFocusRowsInPlace) {
    addRows(500);
    list()->scrollToItem(list()->topLevelItem(300), QAbstractItemView::PositionAtTop);
    list()->setCurrentItem(list()->topLevelItem(310), 0, QItemSelectionModel::NoUpdate);
    list()->setFocus();
    auto top = [&] { return list()->itemAt(0, 0)->text(0); };
    ASSERT_EQ(settled(top, "/videos/clip300.avi"), "/videos/clip300.avi");
    for (int row : {100, 300, 310, 450}) list()->topLevelItem(row)->setSelected(true);

    QTest::keyClick(list(), Qt::Key_Delete);

    EXPECT_EQ(settled(top, "/videos/clip301.avi"), "/videos/clip301.avi");
    EXPECT_EQ(list()->currentItem()->text(0), "/videos/clip311.avi");
    EXPECT_TRUE(list()->selectedItems().isEmpty());
}

TEST_F(JobRows, ClearAllEmptiesTheListResetsGaugeAndShowsHint) {
    addRows(3);
    gauge()->setProgress(80);

    QTest::mouseClick(form.control<QPushButton>("clearButton"), Qt::LeftButton);

    EXPECT_EQ(list()->topLevelItemCount(), 0);
    EXPECT_EQ(gauge()->progress(), 0);
    EXPECT_FALSE(hint()->isHidden());
}

// Every way the user changes the preset or the DirectShow box reaches the
// resets: rows failed by a batch whose encoder prints nothing become pending.
struct ChoiceCase {
    const char* name;
    std::function<void(JobRows&)> choose;
};

class Choices : public JobRows, public testing::WithParamInterface<ChoiceCase> {};

TEST_P(Choices, ResetFailedRows) {
    addRows(2);
    QTest::mouseClick(form.control<QPushButton>("startButton"), Qt::LeftButton);
    ASSERT_EQ(form.column(1), QStringList(2, kError));

    GetParam().choose(*this);

    EXPECT_EQ(form.column(1), QStringList(2, kPending));
}

INSTANTIATE_TEST_SUITE_P(
    Ways, Choices,
    testing::Values(ChoiceCase{"MouseOnAnotherPreset",
                               [](JobRows& t) {
                                   QTest::mouseClick(
                                       t.presets()->viewport(), Qt::LeftButton, Qt::NoModifier,
                                       t.presets()->visualItemRect(t.presets()->item(1)).center());
                               }},
                    ChoiceCase{"KeyboardDownOnThePresets",
                               [](JobRows& t) {
                                   t.presets()->setFocus();
                                   QTest::keyClick(t.presets(), Qt::Key_Down);
                               }},
                    ChoiceCase{"DirectShowBox",
                               [](JobRows& t) {
                                   QTest::mouseClick(t.form.control<QCheckBox>("directShowBox"),
                                                     Qt::LeftButton);
                               }}),
    kByName);

// A Ctrl+click on the selected preset leaves it selected.
TEST_F(JobRows, ThePresetListAlwaysHasASelection) {
    QTest::mouseClick(presets()->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      presets()->visualItemRect(presets()->item(0)).center());
    EXPECT_EQ(presets()->currentRow(), 0);
    EXPECT_EQ(presets()->selectedItems(), QList<QListWidgetItem*>{presets()->item(0)});
}

// The list's normal text colour for these tests: one no status uses.
const QColor kNormalText(0, 150, 0);

struct ColourCase {
    const char* name;
    JobStatus status;
    QColor expected;
    bool selected;
};

class StatusColour : public JobRows, public testing::WithParamInterface<ColourCase> {};

// The file name reads like the status, so that only the column can tell
// them apart. The text is drawn without smoothing, in its pure colour. The
// focus is elsewhere, so a selected row has inactive colours.
TEST_P(StatusColour, StatusTextInItsColourFileNameInTheNormalOne) {
    const ColourCase& c = GetParam();
    addRows(1);
    form.window->view().rowChanged(0, JobRow{"/videos/clip0.avi", c.status, {}});
    list()->topLevelItem(0)->setText(0, list()->topLevelItem(0)->text(1));
    QPalette palette = list()->palette();
    palette.setColor(QPalette::Text, kNormalText);
    list()->setPalette(palette);
    QFont font = list()->font();
    font.setStyleStrategy(QFont::NoAntialias);
    list()->setFont(font);
    list()->topLevelItem(0)->setSelected(c.selected);
    form.control<QWidget>("startButton")->setFocus();
    list()->viewport()->repaint();
    const QImage image = list()->viewport()->grab().toImage();

    const QColor selectedText = palette.color(QPalette::Inactive, QPalette::HighlightedText);
    for (auto [column, expected] : {std::pair{1, c.selected ? selectedText : c.expected},
                                    std::pair{0, c.selected ? selectedText : kNormalText}}) {
        QMap<QRgb, int> pixels;
        const QRect cell = list()->visualRect(list()->model()->index(0, column));
        for (int y = cell.top(); y <= cell.bottom(); ++y)
            for (int x = cell.left(); x <= cell.right(); ++x) ++pixels[image.pixel(x, y)];
        EXPECT_GT(pixels.value(expected.rgb()), 5) << "column " << column;
        for (const QColor other : {QColor(Qt::black), QColor(Qt::red), QColor(Qt::blue), kNormalText})
            EXPECT_TRUE(other == expected || !pixels.contains(other.rgb()))
                << other.name().toStdString() << " in column " << column;
    }
}

INSTANTIATE_TEST_SUITE_P(Statuses, StatusColour,
                         testing::Values(ColourCase{"PendingBlack", JobStatus::Pending, Qt::black, false},
                                         ColourCase{"ConvertedBlue", JobStatus::Converted, Qt::blue, false},
                                         ColourCase{"ConvertingRed", JobStatus::Converting, Qt::red, false},
                                         ColourCase{"ErrorRed", JobStatus::Failed, Qt::red, false},
                                         ColourCase{"SelectedKeepsSelectionColours", JobStatus::Failed,
                                                    Qt::red, true}),
                         kByName);

}  // namespace
}  // namespace mirvane::test
