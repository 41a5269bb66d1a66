#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>

#include "engine/jobs/job_journal.h"
#include "engine/platform/files.h"
#include "engine/window/main_window_presenter.h"
#include "engine/texts/texts.h"
#include "support/fake_main_window_view.h"
#include "support/queue_ui_thread.h"
#include "support/recording_desktop.h"
#include "support/temp_dir.h"

namespace mirvane {
namespace {

using enum JobStatus;
using Statuses = std::vector<JobStatus>;
using Texts = std::vector<std::string>;

const std::string kSettingsMissing = std::string("error: ") + texts::kSettingsMissing;
const std::string kEncoderMissing = "error: " + texts::encoderMissing(kNativePathStyle);
const std::string kUnreadable = std::string("error: ") + texts::kSettingsUnreadable;
const std::string kQuestion = std::string("question: ") + texts::kForcedQuitQuestion;
const std::string kRestored = std::string("information: ") + texts::kListRestored;

// Two presets; the first converts a 5 s input in 0.1 s, slowly enough to act
// during its job.
constexpr const char* kTwoPresets =
    "[List]\nListTitle00=Slow\nListOption00=progress:5:20 -i %INPFILE %OUTFILE\nListExt00=.mp4\n"
    "ListTitle01=Second\nListOption01=-i %INPFILE %OUTFILE\nListExt01=.webm\n";

// A real folder for the rows' files, so that a job can make its output there.
std::string v(const std::string& name) {
    static const TempDir folder;
    return folder.file(name);
}

// A program folder, the window over it, created with the given files and
// what an earlier run left in the journal.
struct Window {
    explicit Window(const char* settings = kTwoPresets, bool encoder = true, const Texts& files = {},
                    const std::optional<std::string>& journal = {}) {
        if (settings) dir.write("MovieSet.ini", settings);
        paths = AppPaths::fromExecutable(dir.file("Mirvane"));
        if (journal) dir.write("Mirvane.jobs", *journal);
        if (encoder) {
            std::filesystem::create_directory(dir.file("ffmpeg"));
            std::filesystem::copy_file(MIRVANE_FAKE_ENCODER, paths.encoder);
        }
        presenter.windowCreated(files);
    }
    // Runs a batch; act is called on each pass of its waiting loop, as a
    // user acting while the job runs, until it returns true.
    void runBatch(const std::function<bool()>& act) {
        bool done = false;
        uiThread.onPass = [&] { done = done || act(); };
        presenter.startPressed();
        uiThread.onPass = nullptr;
    }
    // What a batch would have left in the rows.
    void setStatus(int row, JobStatus status, const std::string& reason = {}) {
        const_cast<JobList&>(presenter.jobs()).setStatus(row, status, reason);
    }
    void setStatuses(const Statuses& statuses) {
        for (std::size_t i = 0; i < statuses.size(); ++i) setStatus(static_cast<int>(i), statuses[i]);
    }
    // What the journal on disk holds; nothing when there is none.
    std::optional<JobJournal> journal() const {
        std::string bytes;
        if (platform::readFile(paths.journalFile, kJournalMaxSize, bytes)) return std::nullopt;
        return DecodeJobJournal(bytes);
    }
    // The journal was written once, whole, with the rows shown: it is that
    // list alone, and every byte written is in it.
    bool journalWrittenWholeOnce() const {
        std::string bytes;
        return !platform::readFile(paths.journalFile, kJournalMaxSize, bytes) &&
               bytes == EncodeJobJournal(view.rows, {}) && presenter.journal().bytesWritten() == bytes.size();
    }

    TempDir dir;
    AppPaths paths;
    BatchFlags flags;
    test::QueueUiThread uiThread;
    test::FakeMainWindowView view;
    SteadyClock clock;
    test::RecordingDesktop desktop;
    MainWindowPresenter presenter{flags, uiThread, view, paths, clock, desktop};
};

struct StartupCase {
    const char* name;
    const char* settings;  // nullptr: no settings file
    bool encoder;
    Texts messages;
    Texts presets;
};

class Startup : public testing::TestWithParam<StartupCase> {};

TEST_P(Startup, ReportsEveryProblemInOrderAndClosesOnceShown) {
    const StartupCase& c = GetParam();
    Window w(c.settings, c.encoder);
    EXPECT_EQ(w.view.messages, c.messages);
    EXPECT_EQ(w.view.presetTitles, c.presets);
    EXPECT_EQ(w.view.closeRequests, 0);
    w.presenter.windowShown();
    EXPECT_EQ(w.view.closeRequests, c.messages.empty() ? 0 : 1);
}

constexpr const char* kNoFirstTitle = "[List]\nListTitle01=Only a second preset\n";

INSTANTIATE_TEST_SUITE_P(
    Combinations, Startup,
    testing::Values(
        StartupCase{"AllPresent", kTwoPresets, true, {}, {"Slow", "Second"}},
        StartupCase{"SettingsMissing", nullptr, true, {kSettingsMissing, kUnreadable}, {}},
        StartupCase{"EncoderMissing", kTwoPresets, false, {kEncoderMissing}, {"Slow", "Second"}},
        StartupCase{"BothMissing", nullptr, false, {kSettingsMissing, kEncoderMissing, kUnreadable}, {}},
        StartupCase{"NoFirstTitle", kNoFirstTitle, true, {kUnreadable}, {}},
        StartupCase{
            "NoFirstTitleAndEncoderMissing", kNoFirstTitle, false, {kEncoderMissing, kUnreadable}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StartupMessage, TheMissingEncoderIsNamedAsEachSystemLooksForIt) {
    EXPECT_EQ(texts::encoderMissing(PathStyle::Windows), "ffmpeg.exeがありません。");
    EXPECT_EQ(texts::encoderMissing(PathStyle::Posix), "ffmpegがありません。");
}

TEST(MainWindowPresenter, CommandLineFilesBecomePendingRowsAndHideTheHint) {
    // Exact bytes, also those that are not UTF-8 (Shift-JIS and Latin-1 names).
    const Texts files = {"/v/b.mkv", "relative/a clip.avi", "/v/b.mkv", "/v/\x83\x72\x83\x66\x83\x49.avi",
                         "caf\xe9.avi"};
    Window w(kTwoPresets, true, files);
    EXPECT_EQ(w.view.paths(), files);
    EXPECT_EQ(w.view.statuses(), Statuses(files.size(), Pending));
    EXPECT_FALSE(w.view.hintVisible);
    EXPECT_EQ(w.view.preset, 0);
    EXPECT_TRUE(w.flags.logEnabled);
    EXPECT_EQ(w.presenter.chosenPreset(), 0);
}

TEST(MainWindowPresenter, DropsAppendInOrderWhileIdleOnly) {
    Window w(kTwoPresets, true, {v("first.avi")});
    w.presenter.filesDropped({});
    EXPECT_EQ(w.view.broughtToFront, 0) << "a drop without files changes nothing";
    w.view.hintVisible = true;

    w.presenter.filesDropped({v("z.mp4"), v("first.avi"), v("a folder"), "/nowhere/missing.txt"});
    EXPECT_EQ(w.view.paths(),
              (Texts{v("first.avi"), v("z.mp4"), v("first.avi"), v("a folder"), "/nowhere/missing.txt"}));
    EXPECT_EQ(w.view.statuses(), Statuses(5, Pending));
    EXPECT_FALSE(w.view.hintVisible);
    EXPECT_EQ(w.view.broughtToFront, 1);

    w.view.hintVisible = true;
    std::size_t rowsDuringJob = 0;
    w.runBatch([&] {
        w.presenter.filesDropped({v("late.avi")});
        rowsDuringJob = w.view.rows.size();
        return true;
    });
    EXPECT_EQ(rowsDuringJob, 5u);
    EXPECT_TRUE(w.view.hintVisible);
    EXPECT_EQ(w.view.broughtToFront, 1);
}

// A folder named on the command line or dropped stands for its video and
// audio files in natural order; a drop whose folders hold more than the
// limit adds the first of them and says so once.
TEST(MainWindowPresenter, FoldersAddTheirMediaInOrderUpToTheLimit) {
    const TempDir media;
    for (const char* name : {"10.mkv", "2.mkv", "notes.txt", "sub/1.mp3"}) media.write(name, "");
    const std::string subfolder = media.file("sub") + pathSeparator(kNativePathStyle);
    const Texts walked = {media.file("2.mkv"), media.file("10.mkv"), subfolder + "1.mp3"};
    Window w(kTwoPresets, true, {media.path()});
    w.presenter.windowShown();
    EXPECT_EQ(w.view.paths(), walked);
    EXPECT_EQ(w.view.messages, Texts{});

    w.presenter.limitFolderFiles(2);
    w.presenter.filesDropped({media.path(), v("direct.txt")});
    EXPECT_EQ(w.view.paths(),
              (Texts{walked[0], walked[1], walked[2], walked[0], walked[1], v("direct.txt")}));
    EXPECT_EQ(w.view.messages, Texts{"information: " + texts::folderFilesCut(2)});
    EXPECT_EQ(texts::folderFilesCut(kMaxFolderFiles),
              "フォルダー内のファイルが多すぎるため、最初の100,000件だけを追加しました。");

    // A tree of folders says so as well, though its files are within the limit.
    w.view.messages.clear();
    w.presenter.clearAllPressed();
    w.presenter.limitFolderFiles(kMaxFolderFiles);
    w.presenter.limitFolderFolders(1);
    w.presenter.filesDropped({media.path()});
    EXPECT_EQ(w.view.paths(), (Texts{walked[0], walked[1]}));
    EXPECT_EQ(w.view.messages, Texts{"information: " + texts::folderFoldersCut(1, kMaxFolderDepth)});
    EXPECT_EQ(texts::folderFoldersCut(kMaxFolderFolders, kMaxFolderDepth),
              "フォルダー内のフォルダーが多すぎるため、最初の10,000個(100階層まで)だけを調べました。");
}

// Files handed over by a second copy: added at once while idle; during a
// batch kept, in order, and added when it is over.
TEST(MainWindowPresenter, HandedOverFilesAreNeverLost) {
    Window w(kTwoPresets, true, {v("a.avi")});
    std::size_t rowsDuringJob = 0;
    w.runBatch([&] {
        w.presenter.filesHandedOver({v("b.avi"), v("c.avi")});
        w.presenter.filesHandedOver({v("d.avi")});
        rowsDuringJob = w.view.rows.size();
        return true;
    });
    EXPECT_EQ(rowsDuringJob, 1u);
    EXPECT_EQ(w.view.paths(), (Texts{v("a.avi"), v("b.avi"), v("c.avi"), v("d.avi")}));
    EXPECT_EQ(w.view.statuses(), (Statuses{Converted, Pending, Pending, Pending}));

    w.presenter.filesHandedOver({v("e.avi")});
    EXPECT_EQ(w.view.paths().back(), v("e.avi"));
    EXPECT_FALSE(w.view.hintVisible);

    w.runBatch([] { return true; });
    EXPECT_EQ(w.view.paths(), (Texts{v("a.avi"), v("b.avi"), v("c.avi"), v("d.avi"), v("e.avi")}))
        << "the files kept during the first batch come again after the next";
}

// One row per character of `selection`, 'x' for a selected one, '2' for one
// that two overlapping selection ranges both name; the gauge at 50 and the
// hint hidden before the key.
struct DeleteCase {
    const char* name;
    Key key;
    std::string selection;
    Texts left;
};

class DeleteKey : public testing::TestWithParam<DeleteCase> {};

TEST_P(DeleteKey, RemovesTheSelectedRows) {
    const DeleteCase& c = GetParam();
    Texts files;
    for (std::size_t i = 0; i < c.selection.size(); ++i) files.push_back(std::to_string(i));
    Window w(kTwoPresets, true, files);
    for (std::size_t i = 0; i < c.selection.size(); ++i)
        for (int times = c.selection[i] == 'x' ? 1 : c.selection[i] == '2' ? 2 : 0; times > 0; --times)
            w.view.selection.push_back(static_cast<int>(i));
    w.setStatuses(Statuses(files.size(), Converted));
    w.view.gaugeView.progress = 50;

    w.presenter.listKeyPressed(c.key);

    EXPECT_EQ(w.view.paths(), c.left);
    EXPECT_EQ(w.view.statuses(), Statuses(c.left.size(), Converted));
    EXPECT_EQ(w.view.gaugeView.progress, c.left.empty() ? 0 : 50);
    EXPECT_EQ(w.view.hintVisible, c.left.empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, DeleteKey,
                         testing::Values(DeleteCase{"ThreeOfFive", Key::Delete, "x.xx.", {"1", "4"}},
                                         DeleteCase{"TheLastRows", Key::Delete, "xx", {}},
                                         DeleteCase{"ARowNamedTwice", Key::Delete, "x2..", {"2", "3"}},
                                         DeleteCase{"OnAnEmptyList", Key::Delete, "", {}},
                                         DeleteCase{"NothingSelected", Key::Delete, "..", {"0", "1"}},
                                         DeleteCase{"AnotherKey", Key::Other, "xx", {"0", "1"}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MainWindowPresenter, DuringAJobDeleteCtrlF1AndCtrlODoNothing) {
    Window w(kTwoPresets, true, {v("a.avi"), v("b.avi")});
    w.view.selection = {0, 1};
    w.view.chosenFiles = {v("late.avi")};
    w.runBatch([&] {
        w.presenter.listKeyPressed(Key::Delete);
        w.presenter.keyPressed(Key::F1, true);
        w.presenter.keyPressed(Key::O, true);
        w.presenter.filesDropped({v("dropped.avi")});
        return true;
    });
    EXPECT_EQ(w.view.rows.size(), 2u);
    EXPECT_EQ(
        Texts(w.view.announced.begin(), w.view.announced.begin() + 4),
        (Texts{texts::kSayStarted, texts::kSayBusyNoRemove, texts::kSayBusyNoAdd, texts::kSayBusyNoAdd}))
        << "each refusal said";
    EXPECT_TRUE(w.flags.logEnabled);
    EXPECT_EQ(w.view.fileDialogs, 0) << "no dialog whose files would be thrown away";
}

// Ctrl+O adds what the dialog returns exactly as a drop would: a folder
// becomes its media files, a cancelled dialog adds nothing.
TEST(MainWindowPresenter, CtrlOAddsTheChosenFilesAsADrop) {
    Window w;
    const TempDir chosen;
    chosen.write("a.mkv", "");
    w.presenter.keyPressed(Key::O, false);
    w.presenter.keyPressed(Key::O, true);
    EXPECT_EQ(w.view.fileDialogs, 1) << "only with Ctrl";
    EXPECT_TRUE(w.view.rows.empty());
    EXPECT_TRUE(w.view.hintVisible);

    w.view.chosenFiles = {v("x.avi"), chosen.path()};
    w.presenter.keyPressed(Key::O, true);
    EXPECT_EQ(w.view.paths(), (Texts{v("x.avi"), chosen.file("a.mkv")}));
    EXPECT_FALSE(w.view.hintVisible);
}

// The reason keys show the first failed row of the selection, one reason
// however many failed rows are selected (rows: pending, failed "first",
// converted, failed "second"); nothing without one.
TEST(MainWindowPresenter, TheReasonKeysShowTheSelectedFailedRowsReason) {
    Window w(kTwoPresets, true, {v("a.avi"), v("b.avi"), v("c.avi"), v("d.avi")});
    w.setStatus(1, Failed, "first");
    w.setStatus(2, Converted);
    w.setStatus(3, Failed, "second");
    using Shown = std::vector<std::pair<int, std::string>>;
    const std::string notFailed = texts::kSayNotFailed;
    for (const auto& [key, selection, shown, said] :
         {std::tuple{Key::Enter, std::vector<int>{3}, Shown{{3, "second"}}, Texts{"エラー: second"}},
          {Key::ContextMenu, {1}, {{1, "first"}}, {"エラー: first"}},
          {Key::Enter, {0, 2, 3}, {{3, "second"}}, {"エラー: second"}},
          {Key::ContextMenu, {1, 3}, {{1, "first"}}, {"エラー: first"}},
          {Key::Enter, {0, 2}, {}, {notFailed}},
          {Key::ContextMenu, {}, {}, {}},
          {Key::Delete, {1}, {}, {texts::rowsRemovedSaying(1)}}}) {
        w.view.reasonsShown.clear();
        w.view.announced.clear();
        w.view.selection = selection;
        w.presenter.listKeyPressed(key);
        EXPECT_EQ(w.view.reasonsShown, shown) << testing::PrintToString(selection);
        EXPECT_EQ(w.view.announced, said) << testing::PrintToString(selection);
    }
}

TEST(MainWindowPresenter, CtrlF1WhileIdleTurnsTheLogOff) {
    Window w;
    w.presenter.keyPressed(Key::F1, false);
    w.presenter.keyPressed(Key::Other, true);
    EXPECT_TRUE(w.flags.logEnabled);
    w.presenter.keyPressed(Key::F1, true);
    EXPECT_FALSE(w.flags.logEnabled);
}

// What only a screen reader user would miss: the answer to each action that
// changes no focused control.
TEST(MainWindowPresenter, ActionsThatChangeNoFocusedControlAreSaid) {
    Window w;
    const std::string nothing = texts::kSayNothingToConvert;
    for (const auto& [act, said] : std::vector<std::pair<std::function<void()>, Texts>>{
             {[&] { w.presenter.startPressed(); }, {nothing}},
             {[&] {
                  w.presenter.filesDropped({v("a.avi"), v("b.avi")});
              },
              {texts::filesAddedSaying(2)}},
             {[&] { w.view.selection = {}, w.presenter.listKeyPressed(Key::Delete); },
              {texts::kSayNothingSelected}},
             {[&] { w.view.selection = {0}, w.presenter.listKeyPressed(Key::Delete); },
              {texts::rowsRemovedSaying(1)}},
             {[&] { w.presenter.clearAllPressed(); }, {texts::kSayCleared}}}) {
        w.view.announced.clear();
        act();
        EXPECT_EQ(w.view.announced, said);
    }
}

TEST(MainWindowPresenter, ClearAllEmptiesTheListResetsTheGaugeAndShowsTheHint) {
    Window w(kTwoPresets, true, {v("a.avi"), v("b.avi")});
    w.view.gaugeView.progress = 80;
    w.presenter.clearAllPressed();
    EXPECT_TRUE(w.view.rows.empty());
    EXPECT_TRUE(w.presenter.jobs().empty());
    EXPECT_EQ(w.view.gaugeView.progress, 0);
    EXPECT_TRUE(w.view.hintVisible);
}

// Choices of preset rows, or of the DirectShow box (-1); row 1 fails again
// between two choices.
struct ResetCase {
    const char* name;
    int lastPresetIndex;
    std::vector<int> choices;
    bool resets;
    int lastPresetIndexAfter;
};

class ErrorReset : public testing::TestWithParam<ResetCase> {};

TEST_P(ErrorReset, FailedRowsBecomePendingAndForgetTheirReason) {
    const ResetCase& c = GetParam();
    Window w(kTwoPresets, true, {"a", "b", "c", "d", "e"});
    const Statuses before = {Converted, Failed, Pending, Failed, Converting};
    w.presenter.presetChosen(c.lastPresetIndex);
    w.setStatuses(before);
    w.setStatus(1, Failed, "again");

    for (std::size_t i = 0; i < c.choices.size(); ++i) {
        if (i > 0) w.setStatus(1, Failed, "again");
        if (c.choices[i] < 0) {
            w.presenter.directShowToggled();
        } else {
            w.presenter.presetChosen(c.choices[i]);
        }
    }

    const Statuses reset = {Converted, Pending, Pending, Pending, Converting};
    EXPECT_EQ(w.view.statuses(), c.resets ? reset : before);
    EXPECT_EQ(w.view.rows[1].reason, c.resets ? "" : "again");
    EXPECT_EQ(w.presenter.chosenPreset(), c.lastPresetIndexAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ErrorReset,
    testing::Values(ResetCase{"AnotherPreset", 0, {1}, true, 1},
                    ResetCase{"TheSelectedPreset", 0, {0}, false, 0},
                    // Only the index counts, not which entry shows as selected.
                    ResetCase{"ThePresetLastResetFor", 1, {1}, false, 1},
                    ResetCase{"BackToTheFirstPresetResetsAgain", 0, {1, 0}, true, 0},
                    ResetCase{"DirectShowTickedAndClearedResetsBothTimes", 0, {-1, -1}, true, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MainWindowPresenter, TheControlsAreBusyOnlyDuringAJob) {
    Window w(kTwoPresets, true, {v("a.avi")});
    w.view.caption = StartCaption::Start;
    StartCaption during = StartCaption::Start;
    bool optionsDuring = true;
    w.runBatch([&] {
        during = w.view.caption;
        optionsDuring = w.view.optionsEnabled;
        return true;
    });
    EXPECT_EQ(during, StartCaption::Stop);
    EXPECT_FALSE(optionsDuring);
    EXPECT_EQ(w.view.caption, StartCaption::Start);
    EXPECT_TRUE(w.view.optionsEnabled);
    EXPECT_TRUE(w.view.startEnabled);
    EXPECT_EQ(w.view.statuses(), Statuses{Converted});
}

TEST(MainWindowPresenter, ClosingWhileIdleAsksNothing) {
    Window w;
    EXPECT_TRUE(w.presenter.closeRequested());
    EXPECT_TRUE(w.view.messages.empty());
    EXPECT_TRUE(w.flags.stopRequested);
}

// Closing during a job: Cancel lets the batch go on; OK stops the job and
// the window closes by itself once the batch is over, never before.
TEST(MainWindowPresenter, ClosingDuringAJobAsksAndWaitsForTheBatch) {
    for (const bool ok : {false, true}) {
        Window w(kTwoPresets, true, {v("a.avi"), v("b.avi")});
        w.view.answer = ok;
        bool canClose = true;
        w.runBatch([&] {
            canClose = w.presenter.closeRequested();
            EXPECT_EQ(w.view.closeRequests, 0);
            return true;
        });
        EXPECT_FALSE(canClose) << ok;
        EXPECT_EQ(w.view.messages, Texts{kQuestion}) << ok;
        EXPECT_EQ(w.flags.stopRequested, ok);
        EXPECT_EQ(w.view.statuses(), ok ? (Statuses{Pending, Pending}) : (Statuses{Converted, Converted}));
        EXPECT_EQ(w.view.closeRequests, ok ? 1 : 0);
        EXPECT_TRUE(w.presenter.closeRequested()) << "the repeated close after the batch";
    }
}

// How a batch ends decides what the desktop hears last: a user elsewhere
// hears only of one that ended by itself. The stop button gets the focus
// back that its disabling took.
struct DesktopCase {
    const char* name;
    std::function<void(Window&)> act;  // during the first job
    Texts last;
    int startFocused = 0;
    Texts said;  // "b.avi" stands for its row's end with the reason it failed
};

class DesktopAroundABatch : public testing::TestWithParam<DesktopCase> {};

TEST_P(DesktopAroundABatch, AwakeOnlyWhileItRunsAndAWordOnlyWhenNotStopped) {
    // b's output cannot be made in a folder that does not exist: it fails.
    const std::string b = (std::filesystem::path(v("no such folder")) / "b.avi").string();
    Window w(kTwoPresets, true, {v("a.avi"), b});
    w.desktop.active = false;
    w.view.answer = true;
    w.runBatch([&] { return GetParam().act(w), true; });
    const Texts& calls = w.desktop.calls;
    const Texts& last = GetParam().last;
    EXPECT_EQ(calls.front(), "awake");
    ASSERT_GE(calls.size(), last.size());
    EXPECT_EQ(Texts(calls.end() - static_cast<long>(last.size()), calls.end()), last);
    EXPECT_EQ(w.view.startFocused, GetParam().startFocused);
    Texts said = GetParam().said;
    for (std::string& text : said)
        if (text == "b.avi") text = "b.avi エラー: " + w.presenter.jobs().row(1).reason;
    EXPECT_EQ(w.view.announced, said) << "each row's end once, and the batch's";
}

INSTANTIATE_TEST_SUITE_P(Endings, DesktopAroundABatch,
                         testing::Values(DesktopCase{"ByItself",
                                                     [](Window&) {},
                                                     {"error 0% 0 left", "hidden", "may sleep",
                                                      "変換が終わりました: 変換済 1件、エラー 1件"},
                                                     0,
                                                     {texts::kSayStarted, "a.avi 変換済", "b.avi",
                                                      "変換が終わりました。変換済 1件、エラー 1件"}},
                                         DesktopCase{"ByTheStopButton",
                                                     [](Window& w) { w.presenter.startPressed(); },
                                                     {"normal 0% 2 left", "hidden", "may sleep"},
                                                     1,
                                                     {texts::kSayStarted, texts::kSayStopping, "a.avi 未変換",
                                                      "変換を停止しました。変換済 0件、エラー 0件"}},
                                         DesktopCase{"ByAClose",
                                                     [](Window& w) { w.presenter.closeRequested(); },
                                                     {"normal 0% 2 left", "hidden", "may sleep"},
                                                     0,
                                                     {texts::kSayStarted, "a.avi 未変換"}}),
                         [](const auto& info) { return std::string(info.param.name); });

// Each change of the rows, however many rows it touches, writes the journal
// once (past the first write, which makes it, one wait for the disk); a
// normal close removes it.
TEST(Journal, FollowsEveryChangeWithOneWriteAndGoesWithANormalClose) {
    Window w(kTwoPresets, true, {"a", "b"});
    EXPECT_TRUE(w.journalWrittenWholeOnce()) << "the command line's files";
    std::uint64_t syncs = w.presenter.journal().syncs();
    // Working files are known by name only as a job announces them.
    const JournalWorkingFile b{"b.mp4.part", {}}, c{"c.mp4.part", {}};
    auto written = [&](const char* change, std::uint64_t more,
                       const std::vector<JournalWorkingFile>& workingFiles = {}) {
        EXPECT_EQ(w.presenter.journal().syncs(), syncs += more) << change;
        EXPECT_EQ(w.journal(), (JobJournal{w.view.rows, workingFiles})) << change;
    };
    w.presenter.filesDropped({"c", "d", "e"});
    written("drop", 1);
    w.setStatus(0, Failed, "why");
    written("status", 1);
    w.presenter.workingFilesChanged({b});
    w.setStatus(1, Converting);
    written("working file with the job's start", 1, {b});
    w.presenter.workingFilesChanged({b, c});
    w.setStatus(2, Converting);
    written("a second job's beside it", 1, {b, c});
    w.presenter.workingFilesChanged({});
    w.setStatus(1, Pending);
    written("no working file with its end", 1);
    w.setStatus(1, Failed);
    w.presenter.presetChosen(1);
    written("a failure, then both reset", 2);
    w.view.selection = {0, 2};
    w.presenter.listKeyPressed(Key::Delete);
    written("removal", 1);
    w.presenter.clearAllPressed();
    written("clear", 1);
    w.presenter.windowClosed();
    EXPECT_FALSE(platform::entryExists(w.paths.journalFile));
}

// The very file a job made, as the journal records it once it exists.
JournalWorkingFile made(const std::string& path) {
    platform::FileId identity;
    EXPECT_FALSE(platform::fileId(path, identity)) << path;
    return {path, identity};
}

// The last run ended in mid-job: its rows come back, the interrupted ones
// pending and their half-written outputs gone, before the command line's files.
TEST(Journal, AStartAfterAnUncleanEndRestoresTheRowsAndSaysSoOnce) {
    TempDir outputs;
    const Texts working = {outputs.write("b (変換中).mp4", "half"),
                           outputs.write("e (変換中 2).mp4", "half")};
    std::vector<JobRow> rows = {
        {"a", Converted, ""}, {"b", Converting, ""}, {"c\x83", Failed, "why"}, {"e", Converting, ""}};
    Window w(kTwoPresets, true, {"d"},
             EncodeJobJournal(rows, std::vector<JournalWorkingFile>{made(working[0]), made(working[1])}));
    rows[1].status = Pending;
    rows[3].status = Pending;
    rows.push_back({"d", Pending, ""});
    EXPECT_EQ(w.view.rows, rows);
    EXPECT_TRUE(w.view.messages.empty()) << "said once the window is up, not while it is made";
    w.presenter.windowShown();
    w.presenter.windowShown();
    EXPECT_EQ(w.view.messages, Texts{kRestored});
    EXPECT_FALSE(w.view.hintVisible);
    for (const std::string& file : working) EXPECT_FALSE(platform::entryExists(file)) << file;
    EXPECT_TRUE(w.journalWrittenWholeOnce());
    EXPECT_EQ(w.journal(), (JobJournal{rows, {}}));
}

// What a start leaves of the working files a journal names: all but the very
// file the run made while it still bears a working name (as above). Each row
// is what a journal of an earlier release, a crash before the file existed,
// or a journal naming the user's own files would otherwise have removed.
struct LeftoverCase {
    const char* name;
    // Makes the files in the folder; returns what the journal records.
    JournalWorkingFile (*record)(const TempDir& dir);
};

constexpr std::string_view kWorkingName = "a (変換中).mp4";

const LeftoverCase kLeftovers[] = {
    {"ANameNotYetMade",
     [](auto& d) {
         return JournalWorkingFile{d.write(kWorkingName, "half"), {}};
     }},
    {"AnotherFileNowUnderTheWorkingName",
     [](auto& d) {
         return JournalWorkingFile{d.write(kWorkingName, "mine"), made(d.write("b", "")).identity};
     }},
    {"TheUsersOwnFileByItsOwnIdentity", [](auto& d) { return made(d.write("thesis.odt", "mine")); }},
    {"AFolderUnderTheWorkingName",
     [](auto& d) {
         const std::string name = d.file(kWorkingName);
         std::filesystem::create_directory(std::filesystem::path(std::u8string(name.begin(), name.end())));
         return made(name);
     }},
#ifndef _WIN32
    {"ALinkUnderTheWorkingName",
     [](auto& d) {
         std::filesystem::create_symlink(d.write("thesis.odt", "mine"), d.file(kWorkingName));
         return made(d.file(kWorkingName));
     }},
#endif
};

class Leftover : public testing::TestWithParam<LeftoverCase> {};

TEST_P(Leftover, IsNotRemoved) {
    const TempDir outputs;
    const JournalWorkingFile file = GetParam().record(outputs);
    Window w(
        kTwoPresets, true, {},
        EncodeJobJournal(std::vector<JobRow>{{"a", Converting, ""}}, std::vector<JournalWorkingFile>{file}));
    EXPECT_EQ(w.view.paths(), Texts{"a"}) << "the journal was read";
    EXPECT_TRUE(platform::entryExists(file.path));
}

INSTANTIATE_TEST_SUITE_P(Journal, Leftover, testing::ValuesIn(kLeftovers),
                         [](const auto& info) { return std::string(info.param.name); });

// A name holding a NUL names no file (the system would read it only up to
// the NUL); it never becomes a row, wherever it comes from.
TEST(MainWindowPresenter, ANameHoldingANulNeverBecomesARow) {
    using namespace std::string_literals;
    Window w(kTwoPresets, true, {"a\0b"s, "c"});
    w.presenter.filesDropped({"d\0"s, "e"});
    w.presenter.filesHandedOver({"\0"s, "f"});
    EXPECT_EQ(w.view.paths(), (Texts{"c", "e", "f"}));
}

// The system asks the program to end (a logout, a shutdown, a kill) while
// idle, or while one or two encoders that would run for ever show progress:
// the jobs end and their working files go before the request returns (the
// process may end the moment it does), the window closes without a
// question, and the rows stay for the next start.
class SystemEnd : public testing::TestWithParam<int> {};  // jobs at once; 0: idle

TEST_P(SystemEnd, StopsTheBatchBeforeReturningAndKeepsTheList) {
    const int jobs = GetParam();
    const TempDir inputs;
    Texts files;
    for (const char* name : {"a.avi", "b.avi", "c.avi"})
        files.push_back(inputs.write(name, "progress:60:50\nhang\n"));
    const std::string settings =
        "[List]\nListTitle00=Runs on\nListOption00=input-steps -i %INPFILE %OUTFILE\n"
        "ListExt00=.mp4\n[Option]\nJobs=" +
        std::to_string(std::max(1, jobs)) + "\n";
    Window w(settings.c_str(), true, files);
    bool asked = false;
    const auto end = [&] {
        asked = true;  // the stop handles events too, which come back to the batch's loop
        w.presenter.terminationRequested();
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(inputs.path()), {}), 3)
            << "working files";
        w.presenter.closeRequested();  // the window's close, maybe while the batch unwinds
    };
    if (jobs == 0)
        end();
    else
        w.runBatch([&] {
            // Every encoder has shown progress: one in the bar, several beside their rows.
            if (!asked && (jobs == 1 ? w.view.gaugeView.progress > 0
                                     : static_cast<int>(w.view.rowPercents.size()) == jobs))
                end();
            return asked;
        });
    EXPECT_EQ(w.view.closeRequests, jobs == 0 ? 1 : 2) << "closed once the batch was over";
    EXPECT_TRUE(w.presenter.closeRequested());
    w.presenter.windowClosed();
    EXPECT_EQ(w.view.messages, Texts{}) << "no question";
    EXPECT_EQ(w.journal(),
              (JobJournal{{{files[0], Pending, ""}, {files[1], Pending, ""}, {files[2], Pending, ""}}, {}}));
}

INSTANTIATE_TEST_SUITE_P(Requests, SystemEnd, testing::Values(0, 1, 2), [](const auto& info) {
    return info.param == 0 ? std::string("WhileIdle")
                           : "InMidJobWith" + std::to_string(info.param) + "AtOnce";
});

// One that cannot be decoded is deleted; a failed start leaves a good one.
TEST(Journal, OnlyAGoodOneAtAGoodStartBringsRowsBack) {
    const std::string good = *EncodeJobJournal(std::vector<JobRow>{{"a", Pending, ""}}, {});
    for (const std::string& bytes : {std::string("MRVJ"), std::string()}) {
        Window w(kTwoPresets, true, {}, bytes);
        EXPECT_TRUE(w.view.rows.empty() && w.view.messages.empty() && w.view.hintVisible);
        EXPECT_FALSE(platform::entryExists(w.paths.journalFile));
    }
    Window w(kTwoPresets, false, {"b"}, good);
    w.presenter.windowClosed();
    EXPECT_EQ(w.view.paths(), Texts{"b"});
    EXPECT_EQ(w.journal(), DecodeJobJournal(good));
}

// As with the log, a journal that cannot be written stops nothing and is not tried again.
TEST(Journal, OneThatCannotBeWrittenIsGivenUpSilently) {
    Window w;
    std::filesystem::create_directory(w.paths.journalFile);
    w.presenter.filesDropped({"a"});
    const std::uint64_t tried = w.presenter.journal().bytesWritten();
    EXPECT_GT(tried, 0u);
    w.presenter.filesDropped({"b"});
    EXPECT_EQ(w.presenter.journal().bytesWritten(), tried);
    EXPECT_EQ(w.view.paths(), (Texts{"a", "b"}));
    EXPECT_TRUE(w.view.messages.empty());
}

}  // namespace
}  // namespace mirvane
