#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>

#include "form_fixture.h"
#include "ui_test_main.h"

namespace mirvane::test {
namespace {

const QString kSettingsMissing = "error: 動画設定INIファイル(MovieSet.ini)がありません。";
const QString kEncoderMissing = "error: ffmpeg.exeがありません。";
const QString kReadingFailed = "error: 動画設定INIファイルの読込みに失敗しました。";
const QString kForcedQuit = "question: 変換中ですが強制終了しますか？";
constexpr const char* kNoFirstTitle = "[List]\nListTitle01=Only a second preset\n";

// --- The checks at creation ---------------------------------------------------------

struct CheckCase {
    const char* name;
    const char* settings;  // nullptr: no settings file
    bool encoder;
    QStringList messages;
    friend void PrintTo(const CheckCase& c, std::ostream* out) { *out << c.name; }
};

class StartupChecks : public testing::TestWithParam<CheckCase> {};

TEST_P(StartupChecks, ReportEveryFailureInOrder) {
    const CheckCase& c = GetParam();
    ProgramFolder folder(c.settings, c.encoder);
    Form form(folder);
    EXPECT_EQ(form.messages.shown, c.messages);
    EXPECT_EQ(form.unit.StartupFailed, !c.messages.isEmpty());

    // A failed start-up closes the window as soon as it has been shown.
    form.window->show();
    EXPECT_EQ(settled([&] { return form.window->isVisible(); }, c.messages.isEmpty()), c.messages.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Combinations, StartupChecks,
    testing::Values(
        CheckCase{"AllPresent", kTwoPresets, true, {}},
        CheckCase{"SettingsMissing", nullptr, true, {kSettingsMissing, kReadingFailed}},
        CheckCase{"EncoderMissing", kTwoPresets, false, {kEncoderMissing}},
        CheckCase{"BothMissing", nullptr, false, {kSettingsMissing, kEncoderMissing, kReadingFailed}},
        CheckCase{"NoFirstTitle", kNoFirstTitle, true, {kReadingFailed}},
        CheckCase{"NoFirstTitleAndEncoderMissing", kNoFirstTitle, false, {kEncoderMissing, kReadingFailed}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Startup, CaptionPresetsAndFlags) {
    ProgramFolder folder;
    UnitState unit;
    unit.LogEnabled = false;
    unit.LastPresetIndex = 5;
    RecordingMessages messages;
    TForm1 window(unit, folder.paths, {}, messages);

    EXPECT_EQ(window.windowTitle(), "Mirvane 1.00");
    EXPECT_EQ(window.pos(), QPoint(0, 0));
    EXPECT_TRUE(unit.LogEnabled);
    EXPECT_EQ(unit.LastPresetIndex, 0);
    auto* presets = window.findChild<QListWidget*>("lbTo");
    ASSERT_EQ(presets->count(), 2);
    EXPECT_EQ(presets->item(0)->text(), "First preset");
    EXPECT_EQ(presets->item(1)->text(), "Second preset");
    EXPECT_EQ(presets->currentRow(), 0);
    EXPECT_TRUE(presets->item(0)->isSelected());
}

TEST(Startup, CommandLineFilesBecomePendingRowsInOrder) {
    ProgramFolder folder;
    const QStringList files = {"/videos/b.mkv", "relative/a clip.avi", "/videos/b.mkv"};
    Form form(folder, files);
    auto* list = form.control<QTreeWidget>("lvData");
    ASSERT_EQ(list->topLevelItemCount(), 3);
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(list->topLevelItem(row)->text(0), files[row]);
        EXPECT_EQ(list->topLevelItem(row)->text(1), "未変換");
    }
    EXPECT_TRUE(form.control<QLabel>("txtDrag")->isHidden());
    EXPECT_TRUE(list->updatesEnabled());
}

TEST(Startup, WithoutFilesTheListIsEmptyAndTheHintShows) {
    ProgramFolder folder;
    Form form(folder);
    EXPECT_EQ(form.control<QTreeWidget>("lvData")->topLevelItemCount(), 0);
    EXPECT_FALSE(form.control<QLabel>("txtDrag")->isHidden());
}

// --- Closing ---------------------------------------------------------------------------

class Closing : public testing::Test {
protected:
    void SetUp() override {
        form.window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.window.get()));
    }
    QPushButton* startButton() { return form.control<QPushButton>("btnStart"); }

    ProgramFolder folder;
    Form form{folder};
};

TEST_F(Closing, WhileIdleClosesWithoutAsking) {
    EXPECT_TRUE(form.window->close());
    EXPECT_TRUE(form.messages.shown.isEmpty());
    EXPECT_FALSE(form.window->isVisible());
    EXPECT_TRUE(form.unit.StopRequested);
    EXPECT_FALSE(startButton()->isEnabled());
}

TEST_F(Closing, DuringBatchCancelKeepsEverything) {
    startButton()->setText("停止");
    form.messages.answers = {false};
    EXPECT_FALSE(form.window->close());
    EXPECT_EQ(form.messages.shown, QStringList{kForcedQuit});
    EXPECT_TRUE(form.window->isVisible());
    EXPECT_FALSE(form.unit.StopRequested);
    EXPECT_TRUE(startButton()->isEnabled());
}

TEST_F(Closing, DuringBatchOkStopsAndCloses) {
    startButton()->setText("停止");
    form.messages.answers = {true};
    EXPECT_TRUE(form.window->close());
    EXPECT_EQ(form.messages.shown, QStringList{kForcedQuit});
    EXPECT_TRUE(form.unit.StopRequested);
    EXPECT_FALSE(startButton()->isEnabled());
    EXPECT_FALSE(form.window->isVisible());
}

TEST(ClosingRunningBatch, WindowStaysUntilTheBatchHasReturned) {
    // An encoder that reports progress for 30 s of input, one line every 200 ms.
    ProgramFolder folder(
        "[List]\nListTitle00=Slow\nListOption00=progress:30:200 %INPFILE %OUTFILE\n"
        "ListExt00=.out\n",
        true, MIRVANE_FAKE_ENCODER);
    Form form(folder, {QString::fromStdString(folder.dir.file("clip.avi"))});
    form.messages.answers = {true};
    form.window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.window.get()));

    bool closedAtOnce = true;
    QTimer::singleShot(500, form.window.get(), [&] {
        form.window->close();
        closedAtOnce = !form.window->isVisible();
    });
    QElapsedTimer batch;
    batch.start();
    // The batch runs inside the click and returns once the stopped job has ended.
    form.control<QPushButton>("btnStart")->click();

    EXPECT_LT(batch.elapsed(), 10000);
    EXPECT_FALSE(closedAtOnce);
    EXPECT_EQ(form.messages.shown, QStringList{kForcedQuit});
    EXPECT_EQ(form.control<QTreeWidget>("lvData")->topLevelItem(0)->text(1), "未変換");
    EXPECT_FALSE(form.window->isVisible());
}

// --- The program as a process ----------------------------------------------------------

QProcessEnvironment programEnvironment(const TempDir& runtime) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime.path()));
    return environment;
}

// A copy of the program in a complete program folder: the program looks for
// its files beside its real path.
QString installProgram(const ProgramFolder& folder) {
    std::string program = folder.dir.file("Mirvane");
    std::filesystem::copy_file(MIRVANE_PROGRAM, program);
    std::filesystem::permissions(program, std::filesystem::perms::owner_all);
    return QString::fromStdString(program);
}

bool exitsWithZeroAtOnce(const QString& program, const QProcessEnvironment& environment) {
    QProcess second;
    second.setProcessEnvironment(environment);
    second.start(program, {});
    return second.waitForFinished(5000) && second.exitStatus() == QProcess::NormalExit &&
           second.exitCode() == 0;
}

TEST(SingleInstance, SecondCopyEndsAndAKilledFirstFreesTheLock) {
    ProgramFolder folder;
    TempDir runtime;
    const QString program = installProgram(folder);
    const QProcessEnvironment environment = programEnvironment(runtime);

    QProcess first;
    first.setProcessEnvironment(environment);
    first.start(program, {});
    ASSERT_TRUE(first.waitForStarted());
    ASSERT_TRUE(settled([&] { return std::filesystem::exists(runtime.file("Mirvane.lock")); }, true));
    QTest::qWait(300);  // the lock is taken right after the file is opened

    EXPECT_TRUE(exitsWithZeroAtOnce(program, environment));
    EXPECT_EQ(first.state(), QProcess::Running);

    first.kill();
    ASSERT_TRUE(first.waitForFinished());
    QProcess next;
    next.setProcessEnvironment(environment);
    next.start(program, {});
    ASSERT_TRUE(next.waitForStarted());
    QTest::qWait(1000);
    EXPECT_EQ(next.state(), QProcess::Running) << "the killed copy's lock was not released";
    EXPECT_TRUE(exitsWithZeroAtOnce(program, environment));
    next.kill();
    next.waitForFinished();
}

TEST(NoDisplay, OneLineAndExitCodeOne) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) environment.remove(name);
    TempDir runtime;
    environment.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime.path()));
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(MIRVANE_PROGRAM, {});
    ASSERT_TRUE(program.waitForFinished(5000));
    EXPECT_EQ(program.exitCode(), 1);
    EXPECT_EQ(program.readAllStandardError(), "Mirvane needs a graphical session (no display found).\n");
    EXPECT_TRUE(program.readAllStandardOutput().isEmpty());
}

}  // namespace
}  // namespace mirvane::test
