#include "engine/batch_driver.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "engine/command_line.h"
#include "engine/texts.h"
#include "support/fake_batch_view.h"
#include "support/queue_ui_thread.h"
#include "support/temp_dir.h"

namespace mirvane {
namespace {

using namespace texts;
using Clock = std::chrono::steady_clock;

// Option texts that make the fake encoder behave like ffmpeg in one way.
const std::string kConverts = "progress:2:10 -i %INPFILE %OUTFILE";
const std::string kSilent = "\"print:  Duration: 00:00:09.00, start\\n\" hang -i %INPFILE %OUTFILE";

class BatchDriverTest : public ::testing::Test {
protected:
    BatchDriverTest() : paths(AppPaths::fromExecutable(dir.file("Mirvane"))) {
        std::filesystem::create_directory(dir.file("ffmpeg"));
        std::filesystem::create_symlink(MIRVANE_FAKE_ENCODER, paths.encoder);
        usePreset(kConverts, ".mp4");
    }

    void usePreset(const std::string& option, const std::string& ext) {
        presets.Presets = {{"Preset", option, ext}};
    }
    std::string input(const std::string& name) { return dir.file(name); }

    TempDir dir;
    AppPaths paths;
    PresetTable presets;
    UnitState unit;
    test::QueueUiThread uiThread;
    test::FakeBatchView view;
    BatchDriver driver{unit, uiThread, view, paths, presets};
};

TEST_F(BatchDriverTest, AnEmptyListOnlyDeletesTheLog) {
    std::ofstream(paths.logFile) << "old";
    driver.btnStartClick();
    EXPECT_FALSE(std::filesystem::exists(paths.logFile));
    EXPECT_EQ(view.caption, kCaptionStart);
    EXPECT_TRUE(view.statusChanges.empty());
}

TEST_F(BatchDriverTest, FinishedRowsArePassedOver) {
    view.addRow(input("a.avi"), kStatusConverted);
    view.addRow(input("b.avi"), kStatusError);
    std::ofstream(paths.logFile) << "old";
    driver.btnStartClick();
    EXPECT_EQ(view.statuses(), (std::vector<std::string>{kStatusConverted, kStatusError}));
    EXPECT_TRUE(view.statusChanges.empty());
    EXPECT_FALSE(std::filesystem::exists(paths.logFile));
}

TEST_F(BatchDriverTest, PendingRowsAreConvertedInOrderWithTheGaugeResetBetween) {
    view.addRow(input("a.avi"));
    view.addRow(input("b.avi"), kStatusConverted);
    view.addRow(input("c.avi"));
    std::vector<std::string> busyCaptions;
    uiThread.onPass = [&] {
        busyCaptions.push_back(view.caption);
        EXPECT_FALSE(view.optionsEnabled);
    };
    driver.btnStartClick();

    const std::vector<std::pair<int, std::string>> expected = {
        {0, kStatusConverting}, {0, kStatusConverted}, {2, kStatusConverting}, {2, kStatusConverted}};
    EXPECT_EQ(view.statusChanges, expected);
    for (const auto& caption : busyCaptions) EXPECT_EQ(caption, kCaptionStop);
    EXPECT_EQ(view.caption, kCaptionStart);
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

TEST_F(BatchDriverTest, ResultCodesBecomeStatuses) {
    struct Case {
        const char* name;
        std::string option;
        const char* status;
    };
    const Case cases[] = {
        {"no marker", "print:nothing -i %INPFILE %OUTFILE", kStatusError},
        {"length only", "\"print:  Duration: 00:00:03.00, start\\n\" exit:1", kStatusError},
        {"summary", kConverts, kStatusConverted},
    };
    for (const auto& c : cases) {
        usePreset(c.option, ".mp4");
        view.rows.clear();
        view.addRow(input("a.avi"));
        driver.btnStartClick();
        EXPECT_EQ(view.rowStatus(0), c.status) << c.name;
    }
}

TEST_F(BatchDriverTest, AnEncoderThatCannotStartFailsItsRowOnly) {
    std::filesystem::remove(paths.encoder);
    view.addRow(input("a.avi"));
    view.addRow(input("b.avi"));
    driver.btnStartClick();
    EXPECT_EQ(view.statuses(), (std::vector<std::string>{kStatusError, kStatusError}));
    EXPECT_EQ(view.caption, kCaptionStart);
}

TEST_F(BatchDriverTest, AJobThatCannotBePreparedFailsAndTheBatchGoesOn) {
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
        view.rows.clear();
        view.statusChanges.clear();
        std::ofstream(input("clip")) << "video";
        view.addRow(input("clip"));
        view.addRow(input("next.avi"));
        driver.btnStartClick();
        EXPECT_EQ(view.rowStatus(0), kStatusError) << c.name;
        EXPECT_EQ(view.statusChanges.front(), std::make_pair(0, std::string(kStatusError))) << c.name;
        EXPECT_EQ(view.caption, kCaptionStart) << c.name;
        EXPECT_TRUE(view.optionsEnabled) << c.name;
        // The next row still runs (and fails on the script or converts).
        EXPECT_NE(view.rowStatus(1), kStatusPending) << c.name;
    }
}

TEST_F(BatchDriverTest, StopDuringTheFirstOfThreeRows) {
    usePreset("progress:100:50 -i %INPFILE %OUTFILE", ".mp4");
    for (const char* name : {"a.avi", "b.avi", "c.avi"}) view.addRow(input(name));
    bool pressed = false;
    uiThread.onPass = [&] {
        if (!pressed && view.gaugeView.progress >= 1) {
            pressed = true;
            driver.btnStartClick();  // the same button, now reading "停止"
            EXPECT_EQ(view.caption, kCaptionStop);
            EXPECT_FALSE(view.startEnabled);
        }
    };
    driver.btnStartClick();
    EXPECT_TRUE(pressed);
    EXPECT_EQ(view.statuses(), (std::vector<std::string>{kStatusPending, kStatusPending, kStatusPending}));
    const std::vector<std::pair<int, std::string>> expected = {{0, kStatusConverting}, {0, kStatusPending}};
    EXPECT_EQ(view.statusChanges, expected);
    EXPECT_EQ(view.caption, kCaptionStart);
    EXPECT_TRUE(view.startEnabled);
}

TEST_F(BatchDriverTest, ASilentEncoderIsKilledOnlyAfterTheGraceTime) {
    usePreset(kSilent, ".mp4");
    view.addRow(input("a.avi"));
    Clock::time_point silentSince{}, stoppedAt{};
    uiThread.onPass = [&] {
        if (silentSince == Clock::time_point{} && view.gaugeView.maxValue == 9) silentSince = Clock::now();
        // Once the worker is surely waiting in its read, only the kill can end it.
        if (silentSince != Clock::time_point{} && stoppedAt == Clock::time_point{} &&
            Clock::now() - silentSince > std::chrono::milliseconds(300)) {
            stoppedAt = Clock::now();
            driver.btnStartClick();
        }
    };
    driver.btnStartClick();
    const auto took = Clock::now() - stoppedAt;
    EXPECT_GE(took, std::chrono::milliseconds(2500));
    EXPECT_LT(took, std::chrono::milliseconds(2900));
    EXPECT_EQ(view.rowStatus(0), kStatusPending);
}

TEST_F(BatchDriverTest, TheWaitingLoopSleepsBetweenEvents) {
    usePreset("\"print:  Duration: 00:00:01.00, start\\n\" sleep:1000 \"print:video:1kB\\n\"", ".mp4");
    view.addRow(input("a.avi"));
    driver.btnStartClick();
    EXPECT_EQ(view.rowStatus(0), kStatusConverted);
    // A second of silence costs a handful of passes, not a spinning loop.
    EXPECT_LT(uiThread.passes(), 20);
}

}  // namespace
}  // namespace mirvane
