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

#include "form_fixture.h"
#include "ui/percent_gauge.h"
#include "ui_test_main.h"

namespace mirvane::test {
namespace {

const QString kPending = "未変換";
const QString kConverting = "変換中";
const QString kConverted = "変換済";
const QString kError = "エラー";

struct JobList : ShownForm {
    QTreeWidget* list() const { return form.control<QTreeWidget>("lvData"); }
    QLabel* hint() const { return form.control<QLabel>("txtDrag"); }
    PercentGauge* gauge() const { return form.control<PercentGauge>("Gauge1"); }
    QListWidget* presets() const { return form.control<QListWidget>("lbTo"); }
    void setStartCaption(const char* caption) { form.control<QPushButton>("btnStart")->setText(caption); }

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

    // Rows /videos/clip<i>.avi with these statuses, as the batch driver leaves them.
    void addRows(const QStringList& statuses) {
        QStringList paths;
        for (qsizetype i = 0; i < statuses.size(); ++i) paths << QString("/videos/clip%1.avi").arg(i);
        ASSERT_TRUE(drop(form.window.get(), paths));
        ASSERT_EQ(list()->topLevelItemCount(), statuses.size());
        for (qsizetype i = 0; i < statuses.size(); ++i) list()->topLevelItem(i)->setText(1, statuses[i]);
    }
};

// Each drop lands on a list holding one converted row, with the hint shown
// and another window in front, so that it can be seen whether the drop
// hides the one and brings the main window forward.
struct DropCase {
    const char* name;
    const char* target;  // the control the files are let go over; empty: the window
    const char* startCaption;
    QStringList items;
    QStringList added;
};

class Drops : public JobList, public testing::WithParamInterface<DropCase> {};

TEST_P(Drops, AddEveryFileUntestedInDragOrderAndNothingElse) {
    const DropCase& c = GetParam();
    addRows({kConverted});
    hint()->show();
    gauge()->setProgress(30);
    setStartCaption(c.startCaption);
    QWidget* target = *c.target ? form.control<QWidget>(c.target) : form.window.get();
    if (auto* view = qobject_cast<QAbstractItemView*>(target)) target = view->viewport();
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));

    EXPECT_TRUE(drop(target, c.items));  // also when it adds nothing

    EXPECT_EQ(form.column(0), QStringList{"/videos/clip0.avi"} + c.added);
    EXPECT_EQ(form.column(1), QStringList{kConverted} + QStringList(c.added.size(), kPending));
    EXPECT_EQ(hint()->isHidden(), !c.added.isEmpty());
    EXPECT_EQ(gauge()->progress(), 30);
    EXPECT_TRUE(list()->updatesEnabled());
    QWidget* front = c.added.isEmpty() ? &other : form.window.get();
    EXPECT_EQ(settled([] { return QApplication::activeWindow(); }, front), front);
}

const QStringList kOddFiles = {"/videos/z.mp4", "/videos/clip0.avi",    "/nowhere/missing.txt",
                               "/tmp",          "/nowhere/missing.txt", "/videos/ビデオ 100% #1 & [b].mp4"};

INSTANTIATE_TEST_SUITE_P(
    Cases, Drops,
    testing::Values(DropCase{"OnTheListDuplicatesFoldersAndMissingFilesAdded", "lvData", "開始", kOddFiles,
                             kOddFiles},
                    DropCase{"OnTheHintWebAddressesAmongFilesLeftOut",
                             "txtDrag",
                             "開始",
                             {"/videos/a.mp4", "https://example.org/b.mp4", "/videos/c.mp4"},
                             {"/videos/a.mp4", "/videos/c.mp4"}},
                    DropCase{"OnThePresetsFileAdded", "lbTo", "開始", {"/videos/a.mp4"}, {"/videos/a.mp4"}},
                    DropCase{"DuringBatchDiscarded", "", "停止", {"/videos/a.mp4", "/videos/b.mp4"}, {}},
                    DropCase{"NoUrl", "", "開始", {}, {}},
                    DropCase{"WebAddressesOnly", "", "開始", {"https://example.org/a.mp4"}, {}}),
    kByName);

// One row per character of `selection`, 'x' for a selected one; the gauge
// at 50 and the hint hidden before the key.
struct DeleteCase {
    const char* name;
    Qt::KeyboardModifiers modifiers;
    const char* startCaption;
    QString selection;
    bool listFocused;
    bool removes;
};

class DeleteKey : public JobList, public testing::WithParamInterface<DeleteCase> {};

TEST_P(DeleteKey, RemovesSelectedRowsWhileIdleAndIsNotConsumed) {
    const DeleteCase& c = GetParam();
    addRows(QStringList(c.selection.size(), kPending));
    QStringList all, unselected;
    for (int row = 0; row < c.selection.size(); ++row) {
        list()->topLevelItem(row)->setSelected(c.selection[row] == 'x');
        all << list()->topLevelItem(row)->text(0);
        if (c.selection[row] != 'x') unselected << all.last();
    }
    hint()->hide();
    gauge()->setProgress(50);
    setStartCaption(c.startCaption);
    QWidget* focused = c.listFocused ? static_cast<QWidget*>(list()) : presets();
    focused->setFocus();
    KeyCounter counter(Qt::Key_Delete);
    focused->installEventFilter(&counter);

    QTest::keyClick(focused, Qt::Key_Delete, c.modifiers);

    EXPECT_EQ(form.column(0), c.removes ? unselected : all);
    const bool emptied = c.removes && unselected.isEmpty();
    EXPECT_EQ(gauge()->progress(), emptied ? 0 : 50);
    EXPECT_EQ(hint()->isHidden(), !emptied);
    EXPECT_EQ(counter.presses, 1);
}

const Qt::KeyboardModifiers kCtrlAltKeypad = Qt::ControlModifier | Qt::AltModifier | Qt::KeypadModifier;

INSTANTIATE_TEST_SUITE_P(
    Cases, DeleteKey,
    testing::Values(DeleteCase{"ThreeOfFive", Qt::NoModifier, "開始", "x.xx.", true, true},
                    DeleteCase{"WithShift", Qt::ShiftModifier, "開始", "x.xx.", true, true},
                    DeleteCase{"WithCtrlAltOnTheKeypad", kCtrlAltKeypad, "開始", "x.xx.", true, true},
                    DeleteCase{"TheLastRows", Qt::NoModifier, "開始", "xx", true, true},
                    DeleteCase{"OnAnEmptyList", Qt::NoModifier, "開始", "", true, true},
                    DeleteCase{"NothingSelected", Qt::NoModifier, "開始", "..", true, true},
                    DeleteCase{"DuringBatch", Qt::NoModifier, "停止", "xx", true, false},
                    DeleteCase{"ListWithoutFocus", Qt::NoModifier, "開始", "xx", false, false}),
    kByName);

// Rows are taken out and put back at once, so the row at the top of the view
// and the focus row are put back in place by hand.
TEST_F(JobList, DeleteKeepsTheTopAndFocusRowsInPlace) {
    addRows(QStringList(500, kPending));
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

TEST_F(JobList, ClearAllEmptiesTheListResetsGaugeAndShowsHint) {
    addRows({kConverted, kError, kPending});
    gauge()->setProgress(80);

    QTest::mouseClick(form.control<QPushButton>("btnAllClr"), Qt::LeftButton);

    EXPECT_EQ(list()->topLevelItemCount(), 0);
    EXPECT_EQ(gauge()->progress(), 0);
    EXPECT_FALSE(hint()->isHidden());
}

// Clicks on preset rows, or on the DirectShow box (-1); row 1 fails again
// between two clicks.
struct ResetCase {
    const char* name;
    int lastPresetIndex;
    QList<int> clicks;
    bool resets;
    int lastPresetIndexAfter;
};

class ErrorReset : public JobList, public testing::WithParamInterface<ResetCase> {};

TEST_P(ErrorReset, FailedRowsBecomePending) {
    const ResetCase& c = GetParam();
    const QStringList before = {kConverted, kError, kPending, kError, kConverting};
    addRows(before);
    form.unit.LastPresetIndex = c.lastPresetIndex;

    for (qsizetype i = 0; i < c.clicks.size(); ++i) {
        if (i > 0) list()->topLevelItem(1)->setText(1, kError);
        if (c.clicks[i] < 0) {
            QTest::mouseClick(form.control<QCheckBox>("chkDShow"), Qt::LeftButton);
        } else {
            QTest::mouseClick(presets()->viewport(), Qt::LeftButton, Qt::NoModifier,
                              presets()->visualItemRect(presets()->item(c.clicks[i])).center());
        }
    }

    const QStringList reset = {kConverted, kPending, kPending, kPending, kConverting};
    EXPECT_EQ(form.column(1), c.resets ? reset : before);
    EXPECT_EQ(form.unit.LastPresetIndex, c.lastPresetIndexAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ErrorReset,
    testing::Values(ResetCase{"AnotherPreset", 0, {1}, true, 1},
                    ResetCase{"TheSelectedPreset", 0, {0}, false, 0},
                    // Only the index counts, not which entry shows as selected.
                    ResetCase{"ThePresetLastResetFor", 1, {1}, false, 1},
                    ResetCase{"BackToTheFirstPresetResetsAgain", 0, {1, 0}, true, 0},
                    ResetCase{"DirectShowTickedAndClearedResetsBothTimes", 0, {-1, -1}, true, 0}),
    kByName);

// The list's normal text colour for these tests: one no status uses.
const QColor kNormalText(0, 150, 0);

struct ColourCase {
    const char* name;
    QString status;
    QColor expected;
    bool selected;
};

class StatusColour : public JobList, public testing::WithParamInterface<ColourCase> {};

// The file name reads like the status, so that only the column can tell
// them apart. The text is drawn without smoothing, in its pure colour. The
// focus is elsewhere, so a selected row has inactive colours.
TEST_P(StatusColour, StatusTextInItsColourFileNameInTheNormalOne) {
    const ColourCase& c = GetParam();
    addRows({c.status});
    list()->topLevelItem(0)->setText(0, c.status);
    QPalette palette = list()->palette();
    palette.setColor(QPalette::Text, kNormalText);
    list()->setPalette(palette);
    QFont font = list()->font();
    font.setStyleStrategy(QFont::NoAntialias);
    list()->setFont(font);
    list()->topLevelItem(0)->setSelected(c.selected);
    form.control<QWidget>("btnStart")->setFocus();
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
                         testing::Values(ColourCase{"PendingBlack", kPending, Qt::black, false},
                                         ColourCase{"ConvertedBlue", kConverted, Qt::blue, false},
                                         ColourCase{"ConvertingRed", kConverting, Qt::red, false},
                                         ColourCase{"ErrorRed", kError, Qt::red, false},
                                         ColourCase{"SelectedKeepsSelectionColours", kError, Qt::red, true}),
                         kByName);

}  // namespace
}  // namespace mirvane::test
