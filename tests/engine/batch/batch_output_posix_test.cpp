// What the batch makes of a row's output on POSIX systems, with the fake
// encoder: inputs that are no files, names at the system's limit, names
// taken while the job runs, and the log's record of the command.

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "engine/batch/batch_runner.h"
#include "engine/window/texts.h"
#include "support/fake_main_window_view.h"
#include "support/queue_ui_thread.h"
#include "support/special_files.h"
#include "support/temp_dir.h"

namespace mirvane {
namespace {

namespace fs = std::filesystem;
using enum JobStatus;

class BatchOutputTest : public ::testing::Test {
protected:
    BatchOutputTest() : paths(AppPaths::fromExecutable(dir.file("Mirvane"))) {
        fs::create_directory(dir.file("ffmpeg"));
        fs::copy_file(MIRVANE_FAKE_ENCODER, paths.encoder);
        presets.Presets = {{"Preset", "progress:2:10 -i %INPFILE %OUTFILE", ".mp4"}};
        view.preset = 0;
    }
    void addRow(const std::string& path) {
        jobs.append({path});
        view.statusChanges.clear();
    }
    std::string log() const { return readBytes(paths.logFile); }

    TempDir dir;
    AppPaths paths;
    PresetTable presets;
    BatchFlags flags;
    test::QueueUiThread uiThread;
    test::FakeMainWindowView view;
    JobList jobs{view};
    SteadyClock clock;
    BatchRunner driver{flags, uiThread, view, jobs, paths, presets, clock};
};

// A FIFO named like a video would keep the encoder reading for ever.
TEST_F(BatchOutputTest, AnInputThatIsNoFileFailsWithoutTheEncoder) {
    test::makeFifo(dir.file("x.mkv"));
    test::FifoRescue rescue(dir.file("x.mkv"));
    addRow(dir.file("x.mkv"));
    addRow("/dev/null");
    const auto started = std::chrono::steady_clock::now();
    driver.startOrStop();
    EXPECT_FALSE(rescue.rescued());
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
    for (int row : {0, 1}) {
        EXPECT_EQ(jobs.row(row).status, Failed);
        EXPECT_EQ(jobs.row(row).reason, texts::kReasonInputNotAFile);
    }
    // Never 変換中: no encoder ran.
    const std::vector<std::pair<int, JobStatus>> changes = {{0, Failed}, {1, Failed}};
    EXPECT_EQ(view.statusChanges, changes);
}

// 80 Japanese characters: the final name fits, " (変換中)" would not.
TEST_F(BatchOutputTest, ANameThatFitsConvertsThoughItsWorkingNameWouldNot) {
    std::string stem;
    while (stem.size() < 240) stem += "変";
    addRow(dir.write(stem + ".avi", "video"));
    driver.startOrStop();
    EXPECT_EQ(jobs.row(0).status, Converted) << jobs.row(0).reason;
    EXPECT_EQ(readBytes(dir.file(stem + ".mp4")), "fake encoder output\n");
}

// Every name the output could take is taken while it is made: the complete
// output stays under its working name, which the row names, and stays.
TEST_F(BatchOutputTest, WithEveryFinalNameTakenTheOutputStaysUnderItsWorkingName) {
    addRow(dir.write("a.avi", "video"));
    bool taken = false;
    uiThread.onPass = [&] {
        if (taken) return;
        taken = true;
        for (std::string name = "a.mp4"; name.size() <= 255; name += ".mp4") dir.write(name, "theirs");
    };
    driver.startOrStop();
    const std::string working = dir.file("a (変換中).mp4");
    EXPECT_EQ(jobs.row(0).status, Failed);
    EXPECT_EQ(jobs.row(0).reason, std::string(texts::kReasonKeptUnderWorkingName) + ": " + working);
    EXPECT_EQ(readBytes(working), "fake encoder output\n");
    EXPECT_EQ(readBytes(dir.file("a.mp4")), "theirs");
    EXPECT_NE(log().find(working), std::string::npos) << log();
}

// The log's command record is the command the encoder ran, byte for byte,
// also where the encoder is handed a name of Mirvane's own.
TEST_F(BatchOutputTest, TheLogRecordsTheCommandTheEncoderRan) {
    fs::remove(paths.encoder);
    // An encoder that says which output it was given, then fails.
    dir.write("ffmpeg/ffmpeg", "#!/bin/sh\nfor last; do :; done\nprintf 'given:%s\\n' \"$last\"\nexit 1\n");
    fs::permissions(paths.encoder, fs::perms::owner_all);
    presets.Presets = {{"Preset", "-i %INPFILE %OUTFILE", ".mp4"}};
    const std::string open = dir.file("open");
    fs::create_directory(open);
    fs::permissions(open, fs::perms::all);
    addRow(dir.write("open/a.avi", "video"));
    driver.startOrStop();
    const std::string text = log();
    const std::size_t given = text.find("given:");
    ASSERT_NE(given, std::string::npos) << text;
    const std::string output = text.substr(given + 6, text.find_first_of("\r\n", given) - given - 6);
    EXPECT_NE(text.find("-y -i \"" + dir.file("open/a.avi") + "\" \"" + output + "\"\r\n"), std::string::npos)
        << output << "\n"
        << text;
    // The row's reason names the file the user knows.
    EXPECT_EQ(jobs.row(0).reason.find(output), std::string::npos) << jobs.row(0).reason;
}

}  // namespace
}  // namespace mirvane
