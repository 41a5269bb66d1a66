#include <gtest/gtest.h>

#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "form_fixture.h"
#include "ui_test_main.h"

namespace mirvane::test {
namespace {

const QString kSettingsMissing = "error: 動画設定INIファイル(MovieSet.ini)がありません。";
const QString kEncoderMissing = "error: ffmpegがありません。";
const QString kReadingFailed = "error: 動画設定INIファイルの読込みに失敗しました。";
const QString kForcedQuit = "question: 変換中ですが強制終了しますか？";

const QStringList kTwoTitles = {"First preset", "Second preset"};
const QStringList kFiles = {"/videos/b.mkv", "relative/a clip.avi", "/videos/b.mkv"};

struct CheckCase {
    const char* name;
    const char* settings;  // nullptr: no settings file
    bool encoder;
    QStringList files;  // on the command line
    QStringList messages;
    QStringList presets;
};

class Startup : public testing::TestWithParam<CheckCase> {};

TEST_P(Startup, ReportsEveryFailureInOrderAndFillsTheWindow) {
    const CheckCase& c = GetParam();
    ProgramFolder folder(c.settings, c.encoder);
    Form form(folder, c.files);
    EXPECT_EQ(form.messages.shown, c.messages);
    EXPECT_EQ(form.window->windowTitle(), "Mirvane 1.00");
    auto* presets = form.control<QListWidget>("presetList");
    QStringList titles;
    for (int row = 0; row < presets->count(); ++row) titles << presets->item(row)->text();
    EXPECT_EQ(titles, c.presets);
    EXPECT_EQ(presets->currentRow(), c.presets.isEmpty() ? -1 : 0);
    EXPECT_EQ(form.column(0), c.files);
    EXPECT_EQ(form.column(1), QStringList(c.files.size(), "未変換"));
    EXPECT_EQ(form.control<QLabel>("dropHint")->isHidden(), !c.files.isEmpty());

    // A failed start-up closes the window as soon as it has been shown.
    form.window->show();
    EXPECT_EQ(settled([&] { return form.window->isVisible(); }, c.messages.isEmpty()), c.messages.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Combinations, Startup,
    testing::Values(
        CheckCase{"AllPresentWithFiles", kTwoPresets, true, kFiles, {}, kTwoTitles},
        CheckCase{
            "BothMissing", nullptr, false, {}, {kSettingsMissing, kEncoderMissing, kReadingFailed}, {}}),
    kByName);

// Closing while idle, or 300 ms into a batch whose encoder reports 20 s of
// input, a second every 100 ms. OK stops the job and closes once the batch is over.
struct CloseCase {
    const char* name;
    bool duringBatch;
    bool answer;  // OK or Cancel, when asked
    const char* status;
};

class Closing : public testing::TestWithParam<CloseCase> {};

TEST_P(Closing, AsksOnlyDuringBatchAndWaitsForIt) {
    const CloseCase& c = GetParam();
    ProgramFolder folder(
        "[List]\nListTitle00=Slow\nListOption00=progress:20:100 -i %INPFILE %OUTFILE\nListExt00=.out\n", true,
        MIRVANE_FAKE_ENCODER);
    Form form(folder, {QString::fromStdString(folder.dir.file("clip.avi"))});
    form.messages.answer = c.answer;
    form.window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.window.get()));
    bool closedAtOnce = false, stopRequested = false;
    auto close = [&] {
        closedAtOnce = form.window->close() && !form.window->isVisible();
        stopRequested = form.flags.stopRequested;
    };
    if (c.duringBatch) {
        QTimer::singleShot(300, form.window.get(), close);
        form.control<QPushButton>("startButton")->click();  // returns when the batch is over
    } else {
        close();
    }

    EXPECT_EQ(form.messages.shown, c.duringBatch ? QStringList{kForcedQuit} : QStringList{});
    EXPECT_EQ(closedAtOnce, !c.duringBatch);
    EXPECT_EQ(stopRequested, c.answer);
    EXPECT_EQ(form.column(1), QStringList{c.status});
    EXPECT_EQ(settled([&] { return form.window->isVisible(); }, !c.answer), !c.answer);
    EXPECT_EQ(std::filesystem::exists(folder.paths.journalFile), !c.answer)
        << "a real close removes the journal";
}

INSTANTIATE_TEST_SUITE_P(Cases, Closing,
                         testing::Values(CloseCase{"BatchCancelGoesOnUntouched", true, false, "変換済"},
                                         CloseCase{"BatchOkStopsTheJobThenCloses", true, true, "未変換"}),
                         kByName);

}  // namespace
}  // namespace mirvane::test
