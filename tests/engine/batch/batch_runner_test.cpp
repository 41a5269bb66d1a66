#include "engine/batch/batch_runner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <thread>
#include <utility>

#include "engine/encoding/stop_watchdog.h"
#include "engine/formats/command_line.h"
#include "engine/texts/texts.h"
#include "support/fake_main_window_view.h"
#include "support/queue_ui_thread.h"
#include "support/system_facts.h"
#include "support/temp_dir.h"

namespace mirvane {
namespace {

using Clock = std::chrono::steady_clock;
using enum JobStatus;
using Statuses = std::vector<JobStatus>;

// Option texts that make the fake encoder behave like ffmpeg in one way.
const std::string kConverts = "progress:2:10 -i %INPFILE %OUTFILE";
const std::string kSilent =
    "\"print:Input #0, avi, from 'a':\\n  Duration: 00:00:09.00, start\\n\" hang -i %INPFILE %OUTFILE";

class BatchRunnerTest : public ::testing::Test {
protected:
    BatchRunnerTest() : paths(AppPaths::fromExecutable(dir.file("Mirvane"))) {
        std::filesystem::create_directory(dir.file("ffmpeg"));
        std::filesystem::copy_file(MIRVANE_FAKE_ENCODER, paths.encoder);
        usePreset(kConverts, ".mp4");
        view.preset = 0;
    }

    void usePreset(const std::string& option, const std::string& ext) {
        presets.presets = {{"Preset", option, ext}};
    }
    std::string input(const std::string& name) { return dir.file(name); }
    JobStatus status(int row) const { return jobs.row(row).status; }
    void addRow(const std::string& name, JobStatus status = Pending) {
        jobs.append({input(name)});
        if (status != Pending) jobs.setStatus(jobs.size() - 1, status);
        view.statusChanges.clear();
    }

    TempDir dir;
    AppPaths paths;
    PresetTable presets;
    BatchFlags flags;
    test::QueueUiThread uiThread;
    test::FakeMainWindowView view;
    JobList jobs{view};
    SteadyClock clock;
    bool aviSynthLoads = true;
    std::vector<std::string> aviSynthChecks;
    BatchRunner driver{
        flags, uiThread, view, jobs, paths, presets, clock, [this](const std::string& encoder) {
            aviSynthChecks.push_back(encoder);
            return aviSynthLoads;
        }};
};

TEST_F(BatchRunnerTest, AnEmptyListOnlyDeletesTheLog) {
    std::ofstream(paths.logFile) << "old";
    driver.startOrStop();
    EXPECT_FALSE(std::filesystem::exists(paths.logFile));
    EXPECT_EQ(view.caption, StartCaption::Start);
    EXPECT_TRUE(view.statusChanges.empty());
}

TEST_F(BatchRunnerTest, FinishedRowsArePassedOver) {
    addRow("a.avi", Converted);
    addRow("b.avi", Failed);
    std::ofstream(paths.logFile) << "old";
    driver.startOrStop();
    EXPECT_EQ(view.statuses(), (Statuses{Converted, Failed}));
    EXPECT_TRUE(view.statusChanges.empty());
    EXPECT_FALSE(std::filesystem::exists(paths.logFile));
}

TEST_F(BatchRunnerTest, PendingRowsAreConvertedInOrderWithTheGaugeResetBetween) {
    addRow("a.avi");
    addRow("b.avi", Converted);
    addRow("c.avi");
    std::vector<StartCaption> busyCaptions;
    uiThread.onPass = [&] {
        busyCaptions.push_back(view.caption);
        EXPECT_FALSE(view.optionsEnabled);
    };
    driver.startOrStop();

    const std::vector<std::pair<int, JobStatus>> expected = {
        {0, Converting}, {0, Converted}, {2, Converting}, {2, Converted}};
    EXPECT_EQ(view.statusChanges, expected);
    for (const auto& caption : busyCaptions) EXPECT_EQ(caption, StartCaption::Stop);
    EXPECT_EQ(view.caption, StartCaption::Start);
    EXPECT_TRUE(view.optionsEnabled);

    // Each job: its length as the maximum, progress up to it, then back to 0.
    const auto& changes = view.gaugeView.changes;
    int resets = 0;
    for (std::size_t i = 0; i < changes.size(); ++i) {
        if (changes[i] != std::make_pair(std::string("progress"), 0)) continue;
        ++resets;
        ASSERT_GT(i, 0u);
        EXPECT_EQ(changes[i - 1], std::make_pair(std::string("progress"), 2)) << "job " << resets;
    }
    EXPECT_EQ(resets, 2);
    EXPECT_EQ(view.gaugeView.progress, 0);
}

TEST_F(BatchRunnerTest, ResultCodesBecomeStatuses) {
    struct Case {
        const char* name;
        std::string option;
        JobStatus status;
    };
    const Case cases[] = {
        {"no marker", "print:nothing -i %INPFILE %OUTFILE", Failed},
        {"length only", "\"print:Input #0, avi, from 'a':\\n  Duration: 00:00:03.00, start\\n\" exit:1",
         Failed},
        {"summary", kConverts, Converted},
    };
    for (const auto& c : cases) {
        usePreset(c.option, ".mp4");
        jobs.clear();
        addRow("a.avi");
        driver.startOrStop();
        EXPECT_EQ(status(0), c.status) << c.name;
    }
}

TEST_F(BatchRunnerTest, AnEncoderThatCannotStartFailsItsRowOnly) {
    std::filesystem::remove(paths.encoder);
    addRow("a.avi");
    addRow("b.avi");
    driver.startOrStop();
    EXPECT_EQ(view.statuses(), (Statuses{Failed, Failed}));
    EXPECT_EQ(view.caption, StartCaption::Start);
}

TEST_F(BatchRunnerTest, AJobThatCannotBePreparedFailsAndTheBatchGoesOn) {
    struct Case {
        const char* name;
        bool directShow;
        std::string ext;
        std::function<void()> arrange;
    };
    const Case cases[] = {
        {"the script cannot be written", true, ".mp4",
         [&] { std::filesystem::create_directory(paths.scriptFile); }},
        // No extension and an empty preset extension: no free name exists.
        {"no output name can be made", false, "", [] {}},
    };
    for (const auto& c : cases) {
        c.arrange();
        usePreset(kConverts, c.ext);
        view.directShow = c.directShow;
        jobs.clear();
        view.statusChanges.clear();
        std::ofstream(input("clip")) << "video";
        addRow("clip");
        addRow("next.avi");
        driver.startOrStop();
        EXPECT_EQ(status(0), Failed) << c.name;
        EXPECT_EQ(view.statusChanges.front(), std::make_pair(0, Failed)) << c.name;
        EXPECT_EQ(view.caption, StartCaption::Start) << c.name;
        EXPECT_TRUE(view.optionsEnabled) << c.name;
        // The next row still runs (and fails on the script or converts).
        EXPECT_NE(status(1), Pending) << c.name;
    }
}

// Asked once a batch, for DirectShow only; without AviSynth each row says so.
TEST_F(BatchRunnerTest, DirectShowRowsWithoutAviSynthFailSayingSo) {
    aviSynthLoads = false;
    for (const bool directShow : {true, false}) {
        view.directShow = directShow;
        jobs.clear();
        aviSynthChecks.clear();
        addRow("a.avi");
        addRow("b.avi");
        driver.startOrStop();
        EXPECT_EQ(aviSynthChecks, std::vector<std::string>(directShow ? 1 : 0, paths.encoder));
        EXPECT_EQ(view.statuses(), Statuses(2, directShow ? Failed : Converted));
        EXPECT_EQ(jobs.row(1).reason, directShow ? texts::kReasonAviSynthMissing : "");
    }
}

TEST_F(BatchRunnerTest, StopDuringTheFirstOfThreeRows) {
    usePreset("progress:100:50 -i %INPFILE %OUTFILE", ".mp4");
    for (const char* name : {"a.avi", "b.avi", "c.avi"}) addRow((name));
    bool pressed = false;
    uiThread.onPass = [&] {
        if (!pressed && view.gaugeView.progress >= 1) {
            pressed = true;
            driver.startOrStop();  // the same button, now reading "停止"
            EXPECT_EQ(view.caption, StartCaption::Stop);
            EXPECT_FALSE(view.startEnabled);
        }
    };
    driver.startOrStop();
    EXPECT_TRUE(pressed);
    EXPECT_EQ(view.statuses(), (Statuses{Pending, Pending, Pending}));
    const std::vector<std::pair<int, JobStatus>> expected = {{0, Converting}, {0, Pending}};
    EXPECT_EQ(view.statusChanges, expected);
    EXPECT_EQ(view.caption, StartCaption::Start);
    EXPECT_TRUE(view.startEnabled);
    // The stopped job's output was begun under its working name, and is gone.
    EXPECT_FALSE(std::filesystem::exists(input("a (変換中).mp4")));
    EXPECT_FALSE(std::filesystem::exists(input("a.mp4")));
}

// A complete output keeps to a free name: one taken while the job ran (a
// folder, here) is passed over for the next.
TEST_F(BatchRunnerTest, ACompleteOutputNeverTakesANameTakenMeanwhile) {
    addRow("a.avi");
    bool taken = false;
    uiThread.onPass = [&] {
        if (!taken) taken = std::filesystem::create_directory(input("a.mp4"));
    };
    driver.startOrStop();
    EXPECT_EQ(status(0), Converted);
    EXPECT_TRUE(std::filesystem::is_directory(input("a.mp4")));
    EXPECT_TRUE(std::filesystem::is_regular_file(input("a.mp4.mp4")));
    EXPECT_FALSE(std::filesystem::exists(input("a (変換中).mp4")));
}

TEST_F(BatchRunnerTest, ASilentEncoderIsKilledOnlyAfterTheGraceTime) {
    usePreset(kSilent, ".mp4");
    addRow("a.avi");
    Clock::time_point silentSince{}, stoppedAt{};
    uiThread.onPass = [&] {
        if (silentSince == Clock::time_point{} && view.gaugeView.maxValue == 9) silentSince = Clock::now();
        // Once the worker is surely waiting in its read, only the kill can end it.
        if (silentSince != Clock::time_point{} && stoppedAt == Clock::time_point{} &&
            Clock::now() - silentSince > std::chrono::milliseconds(300)) {
            stoppedAt = Clock::now();
            driver.startOrStop();
        }
    };
    driver.startOrStop();
    const auto took = Clock::now() - stoppedAt;
    EXPECT_GE(took, std::chrono::milliseconds(2500));
    EXPECT_LT(took, std::chrono::milliseconds(2900));
    EXPECT_EQ(status(0), Pending);
}

TEST_F(BatchRunnerTest, TheWaitingLoopSleepsBetweenEvents) {
    usePreset(
        "\"print:Input #0, avi, from 'a':\\n  Duration: 00:00:01.00, start\\n\" sleep:1000 \"print:video:1kB "
        "audio:0kB\\n\" "
        "-i %INPFILE %OUTFILE",
        ".mp4");
    addRow("a.avi");
    driver.startOrStop();
    EXPECT_EQ(status(0), Converted);
    // A second of silence costs a handful of passes, not a spinning loop.
    EXPECT_LT(uiThread.passes(), 20);
}

TEST_F(BatchRunnerTest, OnTheVirtualClockASilentEncoderIsKilledAtTheGraceTime) {
    test::VirtualClock virtualClock;
    BatchRunner virtualDriver{flags, uiThread, view, jobs, paths, presets, virtualClock};
    uiThread.clock = &virtualClock;
    usePreset(kSilent, ".mp4");
    addRow("a.avi");
    std::optional<Clock::time_point> stoppedAt;
    uiThread.onPass = [&] {
        if (stoppedAt || view.gaugeView.maxValue != 9) return;
        // Once the worker is surely waiting in its read, only the kill can end it.
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        stoppedAt = virtualClock.now();
        virtualDriver.startOrStop();
    };
    const auto realStart = Clock::now();
    virtualDriver.startOrStop();
    ASSERT_TRUE(stoppedAt);
    const auto took = virtualClock.now() - *stoppedAt;
    EXPECT_GE(took, kStopGraceTime);
    // The job ends within moments of the kill, a few repeats at the most.
    EXPECT_LT(took, kStopGraceTime + 10 * kKillRepeat);
    EXPECT_LT(Clock::now() - realStart, std::chrono::seconds(2));
    EXPECT_EQ(status(0), Pending);
}

// A batch of two jobs leaves one log with both, and each failure's reason.
TEST_F(BatchRunnerTest, FailedRowsKeepAReasonThatTheLogRecordsToo) {
    struct Case {
        const char* name;
        std::string option;
        std::string ext;
        bool directShow;
        std::function<void()> arrange;
        std::string reason;  // {clip}: the row's path; {encoder}: the encoder's
        bool reasonNamesTheRow = false;
    };
    const std::string kNotStarted = std::string(texts::kReasonEncoderNotStarted) + ": ";
    const Case cases[] = {
        {"the encoder's last line that says something",
         "\"print:clip: Invalid data found\\n\" \"print:frame=1 time=00:00:01.00\\r\\n\" "
         "\"print:Conversion failed!\\n\" exit:1",
         ".mp4", false, [] {}, "clip: Invalid data found"},
        {"an error line that begins with the row's path", "\"print:{clip}: Invalid data found\\n\" exit:1",
         ".mp4", false, [] {}, "{clip}: Invalid data found", true},
        {"an encoder that says nothing", "exit:1", ".mp4", false, [] {},
         std::string(texts::kReasonEncoderExitCode) + "1"},
        {"no output name can be made", kConverts, "", false, [] {}, texts::kReasonNoOutputName},
        {"the script cannot be written", kConverts, ".mp4", true,
         [&] { std::filesystem::create_directory(paths.scriptFile); },
         std::string(texts::kReasonScriptNotWritten) + ": " +
             test::systemText(test::SystemFailure::OpenAFolder)},
        {"the encoder is missing", kConverts, ".mp4", false, [&] { std::filesystem::remove(paths.encoder); },
         kNotStarted + test::systemText(test::SystemFailure::NoSuchFile)},
        {"the encoder cannot be executed", kConverts, ".mp4", false,
         [&] {
             std::filesystem::remove(paths.encoder);
             test::makeNonProgram(paths.encoder);
         },
         kNotStarted + test::systemText(test::SystemFailure::NotAProgram, "{encoder}")},
    };
    for (const auto& c : cases) {
        TempDir scratch;
        paths = AppPaths::fromExecutable(scratch.file("Mirvane"));
        std::filesystem::create_directory(scratch.file("ffmpeg"));
        std::filesystem::copy_file(MIRVANE_FAKE_ENCODER, paths.encoder);
        c.arrange();
        // The path reaches the fake encoder's text byte for byte, whatever its separators.
        std::string escaped;
        for (const unsigned char byte : scratch.file("clip")) {
            char code[5];
            std::snprintf(code, sizeof code, "\\x%02x", byte);
            escaped += code;
        }
        usePreset(ReplaceAll(c.option, "{clip}", escaped), c.ext);
        view.directShow = c.directShow;
        jobs.clear();
        // Without an extension the output's first name is the input's own.
        scratch.write("clip", "video");
        jobs.append({scratch.file("clip"), scratch.file("clip2.avi")});
        driver.startOrStop();

        const std::string reason =
            ReplaceAll(ReplaceAll(c.reason, "{clip}", jobs.row(0).path), "{encoder}", paths.encoder);
        EXPECT_EQ(status(0), Failed) << c.name;
        EXPECT_EQ(jobs.row(0).reason, reason) << c.name;
        std::ifstream in(paths.logFile, std::ios::binary);
        const std::string log((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const std::string record = std::string(texts::kStatusError) + ": " +
                                   (c.reasonNamesTheRow ? "" : jobs.row(0).path + ": ") + reason;
        EXPECT_NE(log.find(record + "\r\n"), std::string::npos) << c.name << "\n" << log;
        // Both jobs are in the batch's one log.
        EXPECT_NE(log.find(jobs.row(1).path), std::string::npos) << c.name << "\n" << log;
    }
}

TEST_F(BatchRunnerTest, AResetRowForgetsItsReason) {
    std::filesystem::remove(paths.encoder);
    addRow("a.avi");
    driver.startOrStop();
    ASSERT_EQ(status(0), Failed);
    ASSERT_FALSE(jobs.row(0).reason.empty());
    jobs.resetFailed();
    EXPECT_EQ(status(0), Pending);
    EXPECT_EQ(jobs.row(0).reason, "");
}

// One log for the batch: both jobs' records, the first job's kept; and the
// row's bytes reach the encoder's command line unchanged, even when they
// are not UTF-8.
TEST_F(BatchRunnerTest, ABatchOfTwoJobsLeavesOneLogWithBoth) {
    std::ofstream(paths.logFile) << "the previous batch";
    const std::vector<std::string> names = test::namesToKeepExactly();
    for (const std::string& name : names) addRow(name);
    driver.startOrStop();
    ASSERT_EQ(jobs.row(1).status, Converted);
    std::ifstream in(paths.logFile, std::ios::binary);
    const std::string log((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(log.find("the previous batch"), std::string::npos);
    for (const std::string& name : names)
        EXPECT_NE(log.find(QuoteArgument(input(name))), std::string::npos) << log;
    std::size_t headers = 0;
    for (std::size_t at = log.find("\r\n■"); at != std::string::npos; at = log.find("\r\n■", at + 1))
        ++headers;
    EXPECT_EQ(log.rfind(test::createdLogStart() + "■", 0), 0u);
    EXPECT_EQ(headers, 1u) << "the second job's header follows the first job's records";
}

// Several rows at once. Each row's encoder acts out the steps in its input
// file; the "user" lets a waiting encoder go on, or stops, once rows reach
// a status. Whatever the case: no row percentage or working file is left and
// each job's log records stay in one block, its failure's reason with them.
TEST_F(BatchRunnerTest, SeveralJobsRunInRowOrderAndRefillAsEachEnds) {
    const std::string kDone = "progress:2:10\n", kTalks = "progress:100:50\n",
                      kGo = "wait-for:" + input("go") + "\n";
    const std::string kSilent = "print:Input #0, avi, from 'a':\\n  Duration: 00:00:09.00, start\\n\nhang\n";
    const std::string kHalfThenGo =
        "print:Input #0, avi, from 'a':\\n  Duration: 00:00:10.00, start\\n\nprint:frame=1 "
        "time=00:00:05.00\\r\n" +
        kGo + "print:\\nvideo:1kB audio:0kB\\n\n";
    auto release = [&](bool when) {
        if (when) std::ofstream(input("go")) << "";
    };
    bool stopped = false;
    auto stopOnce = [&](bool when, bool close) {
        if (!when || std::exchange(stopped, true)) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));  // a silent one surely in its read
        close ? driver.requestStop() : driver.startOrStop();
    };
    auto talking = [&](int row) { return view.rowPercents.count(row) && view.rowPercents.at(row) > 0; };
    // Once the third row is done beside a half-done first: the gauge counts
    // that half, and the log has the first's records so far. A loaded
    // machine may bring the first row's half after the others' ends: it is
    // waited for, a while.
    std::optional<Clock::time_point> othersDone;
    auto checkGaugeThenGo = [&] {
        if (status(2) != Converted || std::filesystem::exists(input("go"))) return;
        if (!othersDone) othersDone = Clock::now();
        if (!talking(0) && Clock::now() - *othersDone < std::chrono::seconds(10)) return;
        EXPECT_EQ(std::make_pair(view.gaugeView.maxValue, view.gaugeView.progress), std::make_pair(300, 250));
        EXPECT_EQ(view.rowPercents, (std::map<int, int>{{0, 50}}));
        // Left alone, the first job writes what it kept and what comes.
        EXPECT_NE(readBytes(paths.logFile).find("time=00:00:05.00"), std::string::npos);
        release(true);
    };
    using Changes = std::vector<std::pair<int, JobStatus>>;
    const JobStatus C = Converting, D = Converted, F = Failed, P = Pending;
    usePreset("input-steps -i %INPFILE %OUTFILE", ".mp4");
    // expected: after the starts, in row order unless endsInOrder.
    auto run = [&](const char* name, int jobsAtOnce,
                   const std::vector<std::pair<std::string, std::string>>& rows, std::function<void()> user,
                   const Changes& expected, bool endsInOrder) {
        presets.simultaneousJobs = jobsAtOnce;
        jobs.clear();
        std::filesystem::remove(input("go"));
        for (const auto& [file, steps] : rows) {
            dir.write(file, steps);
            addRow(file);
        }
        stopped = false;
        uiThread.onPass = user;
        const auto start = Clock::now();
        driver.startOrStop();
        auto changes = view.statusChanges;
        if (!endsInOrder) std::sort(changes.begin() + jobsAtOnce, changes.end());
        EXPECT_EQ(changes, expected) << name;
        if (std::any_of(rows.begin(), rows.end(), [&](const auto& row) { return row.second == kSilent; })) {
            EXPECT_GE(Clock::now() - start, kStopGraceTime) << name;
        }
        EXPECT_TRUE(view.rowPercents.empty()) << name;
        const std::string folder = dir.path();
        for (const auto& entry :
             std::filesystem::directory_iterator(std::u8string(folder.begin(), folder.end())))
            EXPECT_EQ(entry.path().u8string().find(u8"変換中"), std::u8string::npos) << name;
        const std::string log = readBytes(paths.logFile), failure = jobs.row(0).path + ": broken input";
        for (std::size_t at = log.find("■"), next = 0; at != std::string::npos; at = next) {
            next = log.find("\r\n■", at + 1);
            const std::string block = log.substr(at, next - at);
            const auto owns = [&](const JobRow& row) { return block.find(row.path) != std::string::npos; };
            EXPECT_EQ(std::count_if(jobs.rows().begin(), jobs.rows().end(), owns), 1) << name << "\n"
                                                                                      << block;
            EXPECT_EQ(block.find(std::string(texts::kStatusError) + ": " + failure) != std::string::npos,
                      status(0) == Failed && owns(jobs.row(0)))
                << block;
        }
    };
    run("two: the third starts as the second ends", 2,
        {{"0.avi", kHalfThenGo}, {"1.avi", kDone}, {"2.avi", kDone}}, checkGaugeThenGo,
        {{0, C}, {1, C}, {1, D}, {2, C}, {2, D}, {0, D}}, true);
    run(
        "three: a failure beside a success", 3,
        {{"0.avi", kGo + "print:broken input\\n\nexit:1\n"},
         {"1.avi", kDone},
         {"2.avi", kDone},
         {"3.avi", kDone}},
        [&] { release(status(3) == Converted); },
        {{0, C}, {1, C}, {2, C}, {0, F}, {1, D}, {2, D}, {3, C}, {3, D}}, false);
    run(
        "a stop: the talking one ends at once, the silent one at the kill", 2,
        {{"0.avi", kSilent}, {"1.avi", kTalks}, {"2.avi", kDone}},
        [&] { stopOnce(view.rowPercents.count(0) && talking(1), false); }, {{0, C}, {1, C}, {1, P}, {0, P}},
        true);
    run(
        "a close waits for every job", 3,
        {{"0.avi", kTalks}, {"1.avi", kTalks}, {"2.avi", kSilent}, {"3.avi", kDone}},
        [&] { stopOnce(talking(0) && talking(1) && view.rowPercents.count(2), true); },
        {{0, C}, {1, C}, {2, C}, {0, P}, {1, P}, {2, P}}, false);
    run(
        "two outputs that would take one name", 2, {{"a.avi", kDone}, {"a.mkv", kDone}}, [] {},
        {{0, C}, {1, C}, {0, D}, {1, D}}, false);
    // Each job's records name the file it made.
    const std::string log = readBytes(paths.logFile) + "\r\n";
    for (const auto& [row, output] : {std::pair{"a.avi", "a.mp4"}, std::pair{"a.mkv", "a.mp4.mp4"}}) {
        const std::size_t block = log.rfind("■", log.find(QuoteArgument(input(row))));
        const std::string record = std::string(texts::kStatusConverted) + ": " + input(output) + "\r\n";
        EXPECT_EQ(log.find(record), log.find(record, block)) << row << "\n" << log;
        EXPECT_LT(log.find(record, block), log.find("\r\n■", block)) << row << "\n" << log;
    }
}

// Jobs at once each open their row through a script of their own.
TEST_F(BatchRunnerTest, ThreeDirectShowJobsAtOnceReadThreeScripts) {
    presets.simultaneousJobs = 3;
    view.directShow = true;
    for (const char* name : {"0.avi", "1.avi", "2.avi"}) addRow(name);
    driver.startOrStop();
    ASSERT_EQ(view.statuses(), Statuses(3, Converted));
    const std::string log = readBytes(paths.logFile);
    std::set<std::string> scripts;
    for (const std::string& script :
         {paths.scriptFile, dir.file("Mirvane-2.avs"), dir.file("Mirvane-3.avs")}) {
        EXPECT_NE(log.find(QuoteArgument(script)), std::string::npos) << script << "\n" << log;
        scripts.insert(readBytes(script));
    }
    scripts.erase("");
    EXPECT_EQ(scripts.size(), 3u) << "each script opens a row of its own";
}

}  // namespace
}  // namespace mirvane
