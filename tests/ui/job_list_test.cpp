#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTreeWidget>
#include <QUrl>
#include <cstdlib>
#include <functional>
#include <memory>

#include "form_fixture.h"
#include "ui/percent_gauge.h"
#include "ui_test_main.h"

namespace mirvane::test {
namespace {

const QString kPending = "未変換";
const QString kConverting = "変換中";
const QString kConverted = "変換済";
const QString kError = "エラー";

QMimeData* fileDrag(const QStringList& paths) {
    auto* data = new QMimeData;
    QList<QUrl> urls;
    for (const QString& path : paths) urls << QUrl::fromLocalFile(path);
    data->setUrls(urls);
    return data;
}

class JobList : public testing::Test {
protected:
    void SetUp() override {
        form.window->show();
        form.window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.window.get()));
    }

    QTreeWidget* list() const { return form.control<QTreeWidget>("lvData"); }
    QLabel* hint() const { return form.control<QLabel>("txtDrag"); }
    PercentGauge* gauge() const { return form.control<PercentGauge>("Gauge1"); }
    QPushButton* startButton() const { return form.control<QPushButton>("btnStart"); }
    QListWidget* presets() const { return form.control<QListWidget>("lbTo"); }

    // What a file manager does: the drag enters over `target`, then drops
    // there. Returns whether the window took the drop.
    bool drop(QWidget* target, QMimeData* data) {
        std::unique_ptr<QMimeData> owned(data);
        const QPoint spot = target->rect().center();
        QDragEnterEvent enter(spot, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        QDropEvent dropped(QPointF(spot), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        dropped.setAccepted(false);
        QApplication::sendEvent(target, &dropped);
        return dropped.isAccepted();
    }

    // Rows with these statuses, as the batch driver leaves them.
    void addRows(const QStringList& statuses) {
        QStringList paths;
        for (qsizetype i = 0; i < statuses.size(); ++i) paths << QString("/videos/clip%1.avi").arg(i);
        const int first = list()->topLevelItemCount();
        ASSERT_TRUE(drop(form.window.get(), fileDrag(paths)));
        ASSERT_EQ(list()->topLevelItemCount(), first + statuses.size());
        for (qsizetype i = 0; i < statuses.size(); ++i)
            list()->topLevelItem(first + i)->setText(1, statuses[i]);
    }

    QStringList column(int index) const {
        QStringList texts;
        for (int row = 0; row < list()->topLevelItemCount(); ++row)
            texts << list()->topLevelItem(row)->text(index);
        return texts;
    }
    QStringList captions() const { return column(0); }
    QStringList statuses() const { return column(1); }

    void clickRow(int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QRect rect = list()->visualItemRect(list()->topLevelItem(row));
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, modifiers, rect.center());
    }

    ProgramFolder folder;
    Form form{folder};
};

// --- Dropping files ---------------------------------------------------------------

struct TargetCase {
    const char* name;
    const char* control;  // where the files are let go; empty: the window itself
    friend void PrintTo(const TargetCase& c, std::ostream* out) { *out << c.name; }
};

class DropTargets : public JobList, public testing::WithParamInterface<TargetCase> {};

TEST_P(DropTargets, AppendPendingRowsInDragOrder) {
    QWidget* target = *GetParam().control ? form.control<QWidget>(GetParam().control) : form.window.get();
    if (auto* view = qobject_cast<QAbstractItemView*>(target)) target = view->viewport();
    gauge()->setProgress(40);
    const QStringList files = {"/videos/z.mp4", "/videos/a.mkv", "/other/m.avi"};

    EXPECT_TRUE(drop(target, fileDrag(files)));

    EXPECT_EQ(captions(), files);
    EXPECT_EQ(statuses(), QStringList(3, kPending));
    EXPECT_TRUE(hint()->isHidden());
    EXPECT_EQ(gauge()->progress(), 40);
    EXPECT_TRUE(list()->updatesEnabled());
}

INSTANTIATE_TEST_SUITE_P(Anywhere, DropTargets,
                         testing::Values(TargetCase{"Window", ""}, TargetCase{"List", "lvData"},
                                         TargetCase{"Hint", "txtDrag"}, TargetCase{"StartButton", "btnStart"},
                                         TargetCase{"Presets", "lbTo"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(JobList, NoPathIsTestedOrMerged) {
    const QString folderPath = QString::fromStdString(folder.dir.path());
    addRows({kConverted});
    const QStringList files = {"/videos/clip0.avi", "/nowhere/missing.txt", folderPath,
                               "/nowhere/missing.txt"};

    ASSERT_TRUE(drop(form.window.get(), fileDrag(files)));

    EXPECT_EQ(captions(), QStringList({"/videos/clip0.avi"}) + files);
    EXPECT_EQ(statuses(), QStringList({kConverted, kPending, kPending, kPending, kPending}));
}

TEST_F(JobList, CaptionHoldsTheFileNameBytes) {
    const QByteArray name = "/videos/ビデオ 100% #1 & [b].mp4";
    ASSERT_TRUE(drop(form.window.get(), fileDrag({QFile::decodeName(name)})));
    ASSERT_EQ(list()->topLevelItemCount(), 1);
    EXPECT_EQ(QFile::encodeName(list()->topLevelItem(0)->text(0)), name);
}

TEST_F(JobList, DropBringsTheWindowForward) {
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));

    ASSERT_TRUE(drop(form.window.get(), fileDrag({"/videos/a.mp4"})));

    EXPECT_EQ(settled([] { return QApplication::activeWindow(); }, form.window.get()), form.window.get());
}

// A drop that adds nothing leaves the list, the hint and the gauge as they were.
struct EmptyDropCase {
    const char* name;
    const char* startCaption;
    std::function<QMimeData*()> data;
    bool taken;  // whether the window accepts the drop all the same
    friend void PrintTo(const EmptyDropCase& c, std::ostream* out) { *out << c.name; }
};

class DropsAddingNothing : public JobList, public testing::WithParamInterface<EmptyDropCase> {};

TEST_P(DropsAddingNothing, ChangeNothing) {
    const EmptyDropCase& c = GetParam();
    startButton()->setText(c.startCaption);
    gauge()->setProgress(30);

    EXPECT_EQ(drop(form.window.get(), c.data()), c.taken);

    EXPECT_EQ(list()->topLevelItemCount(), 0);
    EXPECT_FALSE(hint()->isHidden());
    EXPECT_EQ(gauge()->progress(), 30);
}

INSTANTIATE_TEST_SUITE_P(Cases, DropsAddingNothing,
                         testing::Values(EmptyDropCase{"FilesDuringBatch", "停止",
                                                       [] { return fileDrag({"/videos/a.mp4"}); }, true},
                                         EmptyDropCase{"EmptyUrlList", "開始", [] { return fileDrag({}); },
                                                       true},
                                         EmptyDropCase{"WebAddressesOnly", "開始",
                                                       [] {
                                                           auto* data = new QMimeData;
                                                           data->setUrls({QUrl("https://example.org/a.mp4")});
                                                           return data;
                                                       },
                                                       true},
                                         EmptyDropCase{"TextOnly", "開始",
                                                       [] {
                                                           auto* data = new QMimeData;
                                                           data->setText("/videos/a.mp4");
                                                           return data;
                                                       },
                                                       false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(JobList, DropDuringBatchKeepsExistingRows) {
    addRows({kConverted, kConverting, kPending});
    startButton()->setText("停止");
    gauge()->setProgress(55);

    EXPECT_TRUE(drop(form.window.get(), fileDrag({"/videos/late.mp4"})));

    EXPECT_EQ(statuses(), QStringList({kConverted, kConverting, kPending}));
    EXPECT_EQ(gauge()->progress(), 55);
}

TEST_F(JobList, WebAddressesAmongFilesAreLeftOut) {
    auto* data = new QMimeData;
    data->setUrls({QUrl::fromLocalFile("/videos/a.mp4"), QUrl("https://example.org/b.mp4"),
                   QUrl::fromLocalFile("/videos/c.mp4")});
    ASSERT_TRUE(drop(form.window.get(), data));
    EXPECT_EQ(captions(), QStringList({"/videos/a.mp4", "/videos/c.mp4"}));
}

// --- The Delete key ------------------------------------------------------------------

struct DeleteCase {
    const char* name;
    Qt::KeyboardModifiers modifiers;
    friend void PrintTo(const DeleteCase& c, std::ostream* out) { *out << c.name; }
};

class DeleteKey : public JobList, public testing::WithParamInterface<DeleteCase> {};

TEST_P(DeleteKey, RemovesSelectedRowsWhateverTheModifiers) {
    addRows({kPending, kConverted, kError, kPending, kConverted});
    gauge()->setProgress(50);
    clickRow(0);
    clickRow(2, Qt::ControlModifier);
    clickRow(3, Qt::ControlModifier);
    ASSERT_EQ(list()->selectedItems().size(), 3);
    KeyCounter counter(Qt::Key_Delete);
    list()->installEventFilter(&counter);

    QTest::keyClick(list(), Qt::Key_Delete, GetParam().modifiers);

    EXPECT_EQ(captions(), QStringList({"/videos/clip1.avi", "/videos/clip4.avi"}));
    EXPECT_EQ(statuses(), QStringList({kConverted, kConverted}));
    EXPECT_TRUE(hint()->isHidden());
    EXPECT_EQ(gauge()->progress(), 50);
    EXPECT_EQ(counter.presses, 1) << "the key must still reach the list";
}

INSTANTIATE_TEST_SUITE_P(Modifiers, DeleteKey,
                         testing::Values(DeleteCase{"None", Qt::NoModifier},
                                         DeleteCase{"Shift", Qt::ShiftModifier},
                                         DeleteCase{"Ctrl", Qt::ControlModifier},
                                         DeleteCase{"Alt", Qt::AltModifier},
                                         DeleteCase{"Keypad", Qt::KeypadModifier}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(JobList, DeletingTheLastRowsResetsGaugeAndShowsHint) {
    addRows({kConverted, kError});
    gauge()->setProgress(70);
    list()->setFocus();
    list()->selectAll();

    QTest::keyClick(list(), Qt::Key_Delete);

    EXPECT_EQ(list()->topLevelItemCount(), 0);
    EXPECT_EQ(gauge()->progress(), 0);
    EXPECT_FALSE(hint()->isHidden());
}

TEST_F(JobList, DeleteOnAnEmptyListResetsGaugeAndShowsHint) {
    hint()->hide();
    gauge()->setProgress(60);
    list()->setFocus();

    QTest::keyClick(list(), Qt::Key_Delete);

    EXPECT_EQ(gauge()->progress(), 0);
    EXPECT_FALSE(hint()->isHidden());
}

TEST_F(JobList, DeleteWithNothingSelectedKeepsTheRows) {
    addRows({kPending, kError});
    gauge()->setProgress(40);
    list()->setFocus();

    QTest::keyClick(list(), Qt::Key_Delete);

    EXPECT_EQ(statuses(), QStringList({kPending, kError}));
    EXPECT_EQ(gauge()->progress(), 40);
    EXPECT_TRUE(hint()->isHidden());
}

TEST_F(JobList, DeleteDuringBatchRemovesNothing) {
    addRows({kConverted, kConverting});
    startButton()->setText("停止");
    gauge()->setProgress(20);
    clickRow(0);
    clickRow(1, Qt::ControlModifier);

    QTest::keyClick(list(), Qt::Key_Delete);

    EXPECT_EQ(statuses(), QStringList({kConverted, kConverting}));
    EXPECT_EQ(gauge()->progress(), 20);
}

TEST_F(JobList, DeleteCountsOnlyWhileTheListHasTheFocus) {
    addRows({kPending, kPending});
    list()->selectAll();
    presets()->setFocus();

    QTest::keyClick(presets(), Qt::Key_Delete);
    QTest::keyClick(list(), Qt::Key_Delete);

    EXPECT_EQ(list()->topLevelItemCount(), 2);
    EXPECT_TRUE(hint()->isHidden());
}

TEST_F(JobList, AfterDeleteTheFocusRowIsTheNextOneAndNothingIsSelected) {
    addRows({kPending, kPending, kPending, kPending});
    clickRow(1);

    QTest::keyClick(list(), Qt::Key_Delete);

    ASSERT_EQ(list()->topLevelItemCount(), 3);
    EXPECT_EQ(list()->currentItem(), list()->topLevelItem(1));
    EXPECT_EQ(list()->currentItem()->text(0), "/videos/clip2.avi");
    EXPECT_TRUE(list()->selectedItems().isEmpty());
    QTest::keyClick(list(), Qt::Key_Delete);
    EXPECT_EQ(list()->topLevelItemCount(), 3);
}

TEST_F(JobList, ManyScatteredSelectedRowsGoAndTheRestKeepTheirOrder) {
    QStringList all(300, kPending);
    addRows(all);
    for (int row = 0; row < 300; row += 3) list()->topLevelItem(row)->setSelected(true);
    list()->setFocus();

    QTest::keyClick(list(), Qt::Key_Delete);

    QStringList expected;
    for (int row = 0; row < 300; ++row)
        if (row % 3 != 0) expected << QString("/videos/clip%1.avi").arg(row);
    EXPECT_EQ(captions(), expected);
}

TEST_F(JobList, DeleteKeepsTheSameRowAtTheTopOfTheView) {
    addRows(QStringList(500, kPending));
    list()->scrollToItem(list()->topLevelItem(300), QAbstractItemView::PositionAtTop);
    auto topCaption = [&] { return list()->itemAt(0, 0)->text(0); };
    ASSERT_EQ(settled(topCaption, "/videos/clip300.avi"), "/videos/clip300.avi");
    list()->setFocus();

    list()->topLevelItem(450)->setSelected(true);
    QTest::keyClick(list(), Qt::Key_Delete);
    EXPECT_EQ(settled(topCaption, "/videos/clip300.avi"), "/videos/clip300.avi") << "a row below went";

    list()->topLevelItem(100)->setSelected(true);
    QTest::keyClick(list(), Qt::Key_Delete);
    EXPECT_EQ(settled(topCaption, "/videos/clip300.avi"), "/videos/clip300.avi") << "a row above went";

    list()->itemAt(0, 0)->setSelected(true);
    QTest::keyClick(list(), Qt::Key_Delete);
    EXPECT_EQ(settled(topCaption, "/videos/clip301.avi"), "/videos/clip301.avi") << "the top row went";
}

// --- Clear all ---------------------------------------------------------------------------

TEST_F(JobList, ClearAllEmptiesTheListResetsGaugeAndShowsHint) {
    addRows({kConverted, kError, kPending});
    gauge()->setProgress(80);

    QTest::mouseClick(form.control<QPushButton>("btnAllClr"), Qt::LeftButton);

    EXPECT_EQ(list()->topLevelItemCount(), 0);
    EXPECT_EQ(gauge()->progress(), 0);
    EXPECT_FALSE(hint()->isHidden());
}

// --- Error resets --------------------------------------------------------------------------

struct PresetCase {
    const char* name;
    std::function<void(QListWidget*)> choose;
    int lastPresetIndexBefore;
    QStringList statusesAfter;
    int lastPresetIndexAfter;
    friend void PrintTo(const PresetCase& c, std::ostream* out) { *out << c.name; }
};

class PresetChoice : public JobList, public testing::WithParamInterface<PresetCase> {};

TEST_P(PresetChoice, ResetsFailedRowsOnlyForAnotherPreset) {
    addRows({kConverted, kError, kPending, kError});
    form.unit.LastPresetIndex = GetParam().lastPresetIndexBefore;

    GetParam().choose(presets());

    EXPECT_EQ(statuses(), GetParam().statusesAfter);
    EXPECT_EQ(form.unit.LastPresetIndex, GetParam().lastPresetIndexAfter);
}

void clickPreset(QListWidget* presets, int row) {
    QTest::mouseClick(presets->viewport(), Qt::LeftButton, Qt::NoModifier,
                      presets->visualItemRect(presets->item(row)).center());
}

INSTANTIATE_TEST_SUITE_P(
    Rules, PresetChoice,
    testing::Values(PresetCase{"ClickOnAnother", [](QListWidget* p) { clickPreset(p, 1); }, 0,
                               QStringList({kConverted, kPending, kPending, kPending}), 1},
                    PresetCase{"ClickOnTheSelectedOne", [](QListWidget* p) { clickPreset(p, 0); }, 0,
                               QStringList({kConverted, kError, kPending, kError}), 0},
                    // Only the index counts, not which entry shows as selected.
                    PresetCase{"ClickOnThePresetLastResetFor", [](QListWidget* p) { clickPreset(p, 1); }, 1,
                               QStringList({kConverted, kError, kPending, kError}), 1},
                    PresetCase{"ArrowKeyToAnother",
                               [](QListWidget* p) {
                                   p->setFocus();
                                   QTest::keyClick(p, Qt::Key_Down);
                               },
                               0, QStringList({kConverted, kPending, kPending, kPending}), 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(JobList, ChoosingBackResetsAgain) {
    addRows({kError});
    clickPreset(presets(), 1);
    ASSERT_EQ(statuses(), QStringList({kPending}));
    list()->topLevelItem(0)->setText(1, kError);

    clickPreset(presets(), 0);

    EXPECT_EQ(statuses(), QStringList({kPending}));
    EXPECT_EQ(form.unit.LastPresetIndex, 0);
}

TEST_F(JobList, DirectShowTickAndUntickBothReset) {
    auto* box = form.control<QCheckBox>("chkDShow");
    addRows({kError, kConverted, kConverting});

    QTest::mouseClick(box, Qt::LeftButton);
    ASSERT_TRUE(box->isChecked());
    EXPECT_EQ(statuses(), QStringList({kPending, kConverted, kConverting}));

    list()->topLevelItem(1)->setText(1, kError);
    QTest::mouseClick(box, Qt::LeftButton);
    ASSERT_FALSE(box->isChecked());
    EXPECT_EQ(statuses(), QStringList({kPending, kPending, kConverting}));
    EXPECT_EQ(form.unit.LastPresetIndex, 0);
}

// --- Status colours, read from the drawn pixels ------------------------------------------

// Pixels that are the colour itself or nearly so: the strokes' solid cores,
// not the blended edges the antialiasing adds.
int pixelsOf(const QImage& image, const QRect& area, const QColor& colour) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            QColor pixel = image.pixelColor(x, y);
            if (std::abs(pixel.red() - colour.red()) <= 40 &&
                std::abs(pixel.green() - colour.green()) <= 40 &&
                std::abs(pixel.blue() - colour.blue()) <= 40)
                ++count;
        }
    return count;
}

const QColor kBlack(0, 0, 0);
const QColor kRed(255, 0, 0);
const QColor kBlue(0, 0, 255);
// The list's normal text colour for these tests: one no status uses.
const QColor kNormalText(0, 150, 0);

struct ColourCase {
    const char* name;
    QString status;
    QColor expected;
    friend void PrintTo(const ColourCase& c, std::ostream* out) { *out << c.name; }
};

// The list's rows as drawn with kNormalText as the normal text colour, none
// selected and the focus elsewhere.
QImage drawnRows(QTreeWidget* list) {
    QPalette palette = list->palette();
    palette.setColor(QPalette::Text, kNormalText);
    list->setPalette(palette);
    list->clearSelection();
    list->window()->findChild<QWidget*>("btnStart")->setFocus();
    list->viewport()->repaint();
    return list->viewport()->grab().toImage();
}

// A cell's inside, without the borders the style may draw.
QRect cellArea(QTreeWidget* list, int row, int column) {
    return list->visualRect(list->model()->index(row, column)).adjusted(1, 1, -1, -1);
}

class Colours : public JobList {
protected:
    QImage drawnRows() { return test::drawnRows(list()); }
    QRect cell(int row, int column) const { return cellArea(list(), row, column); }
};

class StatusColour : public Colours, public testing::WithParamInterface<ColourCase> {};

TEST_P(StatusColour, StatusTextInItsColourFileNameInTheNormalOne) {
    const ColourCase& c = GetParam();
    addRows({c.status});

    const QImage image = drawnRows();

    const QRect status = cell(0, 1);
    EXPECT_GT(pixelsOf(image, status, c.expected), 5);
    for (const QColor& other : {kBlack, kRed, kBlue, kNormalText})
        if (other != c.expected) {
            EXPECT_EQ(pixelsOf(image, status, other), 0) << other.name().toStdString();
        }
    const QRect fileName = cell(0, 0);
    EXPECT_GT(pixelsOf(image, fileName, kNormalText), 5);
    for (const QColor& other : {kBlack, kRed, kBlue})
        EXPECT_EQ(pixelsOf(image, fileName, other), 0) << other.name().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Statuses, StatusColour,
                         testing::Values(ColourCase{"PendingBlack", kPending, kBlack},
                                         ColourCase{"ConvertedBlue", kConverted, kBlue},
                                         ColourCase{"ConvertingRed", kConverting, kRed},
                                         ColourCase{"ErrorRed", kError, kRed}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Colours, FollowsTheStatusAtTheNextRepaint) {
    addRows({kPending});
    ASSERT_GT(pixelsOf(drawnRows(), cell(0, 1), kBlack), 5);

    list()->topLevelItem(0)->setText(1, kConverted);

    const QImage image = drawnRows();
    EXPECT_GT(pixelsOf(image, cell(0, 1), kBlue), 5);
    EXPECT_EQ(pixelsOf(image, cell(0, 1), kBlack), 0);
}

TEST(FileNameColour, AFileNamedLikeAStatusKeepsTheNormalColour) {
    ProgramFolder folder;
    Form form(folder, {"エラー"});
    form.window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.window.get()));
    auto* list = form.control<QTreeWidget>("lvData");

    const QImage image = drawnRows(list);

    EXPECT_GT(pixelsOf(image, cellArea(list, 0, 0), kNormalText), 5);
    EXPECT_EQ(pixelsOf(image, cellArea(list, 0, 0), kRed), 0);
}

TEST_F(Colours, SelectedRowKeepsTheSelectionColours) {
    addRows({kError});
    QImage image = drawnRows();
    list()->topLevelItem(0)->setSelected(true);
    list()->viewport()->repaint();
    image = list()->viewport()->grab().toImage();

    const QPalette& palette = list()->palette();
    EXPECT_EQ(pixelsOf(image, cell(0, 1), kRed), 0);
    EXPECT_GT(pixelsOf(image, cell(0, 1), palette.color(QPalette::Inactive, QPalette::HighlightedText)), 5);
}

}  // namespace
}  // namespace mirvane::test
