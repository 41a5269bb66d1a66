// What the batch makes of a row's output on POSIX systems: with the fake
// encoder, inputs that are no files, names at the system's limit, names
// taken while the job runs and the log's record of the command; with the real
// encoder, presets that write several files (a playlist and its segments, an
// image sequence) beside the input, never over a file that is there.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine/batch/batch_runner.h"
#include "engine/texts/texts.h"
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
        presets.presets = {{"Preset", "progress:2:10 -i %INPFILE %OUTFILE", ".mp4"}};
        view.preset = 0;
    }

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
    jobs.append({dir.file("x.mkv")});
    view.statusChanges.clear();
    driver.startOrStop();
    EXPECT_FALSE(rescue.rescued());
    EXPECT_EQ(jobs.row(0).reason, texts::kReasonInputNotAFile);
    // Never 変換中: no encoder ran.
    EXPECT_EQ(view.statusChanges, (std::vector<std::pair<int, JobStatus>>{{0, Failed}}));
}

// 80 Japanese characters: the final name fits, " (変換中)" would not.
TEST_F(BatchOutputTest, ANameThatFitsConvertsThoughItsWorkingNameWouldNot) {
    std::string stem;
    while (stem.size() < 240) stem += "変";
    jobs.append({dir.write(stem + ".avi", "video")});
    driver.startOrStop();
    EXPECT_EQ(jobs.row(0).status, Converted) << jobs.row(0).reason;
    EXPECT_EQ(readBytes(dir.file(stem + ".mp4")), "fake encoder output\n");
}

// Every name the output could take is taken while it is made: the complete
// output stays under its working name, which the row and the log name.
TEST_F(BatchOutputTest, WithEveryFinalNameTakenTheOutputStaysUnderItsWorkingName) {
    jobs.append({dir.write("a.avi", "video")});
    uiThread.onPass = [&, taken = false]() mutable {
        if (!std::exchange(taken, true))
            for (std::string name = "a.mp4"; name.size() <= 255; name += ".mp4") dir.write(name, "theirs");
    };
    driver.startOrStop();
    const std::string working = dir.file("a (変換中).mp4");
    EXPECT_EQ(jobs.row(0).reason, std::string(texts::kReasonKeptUnderWorkingName) + ": " + working);
    EXPECT_EQ(readBytes(working), "fake encoder output\n");
    EXPECT_NE(readBytes(paths.logFile).find(working), std::string::npos) << readBytes(paths.logFile);
}

// The log's command record is the command the encoder ran, byte for byte,
// also where the encoder is handed a name of Mirvane's own; the row's reason
// names the file the user knows.
TEST_F(BatchOutputTest, TheLogRecordsTheCommandTheEncoderRan) {
    fs::remove(paths.encoder);
    // An encoder that says which output it was given, then fails.
    dir.write("ffmpeg/ffmpeg", "#!/bin/sh\nfor last; do :; done\nprintf 'given:%s\\n' \"$last\"\nexit 1\n");
    fs::permissions(paths.encoder, fs::perms::owner_all);
    presets.presets = {{"Preset", "-i %INPFILE %OUTFILE", ".mp4"}};
    const std::string input = dir.write("open/a.avi", "video");
    fs::permissions(dir.file("open"), fs::perms::all);
    jobs.append({input});
    driver.startOrStop();
    const std::string text = readBytes(paths.logFile);
    const std::size_t given = text.find("given:") + 6;
    ASSERT_GE(given, 6u) << text;
    const std::string output = text.substr(given, text.find_first_of("\r\n", given) - given);
    EXPECT_NE(text.find("-y -i \"" + input + "\" \"" + output + "\"\r\n"), std::string::npos) << text;
    EXPECT_EQ(jobs.row(0).reason.find(output), std::string::npos) << jobs.row(0).reason;
}

// The real encoder in place of the fake one, converting a clip it made.
class RealEncoderBatchTest : public BatchOutputTest {
protected:
    void SetUp() override {
        const std::string encoder =
            fs::exists("/usr/bin/ffmpeg") ? "/usr/bin/ffmpeg" : "/usr/local/bin/ffmpeg";
        if (!fs::exists(encoder)) GTEST_SKIP() << "no ffmpeg";
        fs::remove(paths.encoder);
        fs::create_symlink(encoder, paths.encoder);
        fs::create_directory(dir.file("videos"));
        const std::string make = encoder +
                                 " -v error -y -f lavfi -i testsrc=duration=3:size=160x120:rate=10 -f lavfi "
                                 "-i sine=duration=3 -c:v mpeg2video -c:a mp2 -shortest '" +
                                 clip + "'";
        ASSERT_EQ(std::system(make.c_str()), 0);
    }
    void convert(const std::string& option, const std::string& ext) {
        presets.presets = {{"Preset", option, ext}};
        jobs.clear();
        jobs.append({clip});
        driver.startOrStop();
    }
    // The folder's names but the input's, in order.
    std::vector<std::string> outputs() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir.file("videos")))
            names.insert(entry.path().filename());
        names.erase("clip.mkv");
        return {names.begin(), names.end()};
    }

    const std::string clip = dir.file("videos/clip.mkv");
};

TEST_F(RealEncoderBatchTest, AnHlsPlaylistAndItsSegmentsLandBesideTheInput) {
    convert("-i %INPFILE -c:v mpeg2video -c:a mp2 -f hls -hls_time 1 -hls_list_size 0 %OUTFILE", ".m3u8");
    EXPECT_EQ(jobs.row(0).status, Converted) << jobs.row(0).reason;
    const std::vector<std::string> names = outputs();
    ASSERT_GE(names.size(), 3u);
    EXPECT_EQ(names.front(), "clip.m3u8");
    EXPECT_EQ(names.back(), "clip" + std::to_string(names.size() - 2) + ".ts");  // fewer than 10
    const std::string playlist = readBytes(dir.file("videos/clip.m3u8"));
    EXPECT_NE(playlist.find("\nclip0.ts"), std::string::npos) << playlist;
}

TEST_F(RealEncoderBatchTest, AnImageSequenceLandsBesideTheInputAndNeverOverAFile) {
    convert("-i %INPFILE -r 2 %OUTFILE", "_%03d.png");
    EXPECT_EQ(jobs.row(0).status, Converted) << jobs.row(0).reason;
    const std::vector<std::string> images = outputs();
    ASSERT_GE(images.size(), 6u);
    EXPECT_EQ(images.front(), "clip_001.png");
    EXPECT_EQ(images.back(), "clip_00" + std::to_string(images.size()) + ".png");  // fewer than 10
    EXPECT_EQ(readBytes(dir.file("videos/clip_001.png")).substr(1, 3), "PNG");

    // One image of the sequence is someone's: none of the new ones moves,
    // they stay together in the working folder the row names.
    for (const std::string& name : images) fs::remove(dir.file("videos/" + name));
    const std::string theirs = dir.write("videos/clip_004.png", "theirs");
    convert("-i %INPFILE -r 2 %OUTFILE", "_%03d.png");
    const std::string folder = dir.file("videos/clip (変換中)");
    EXPECT_EQ(jobs.row(0).reason,
              std::string(texts::kReasonKeptInWorkingFolder) + ": " + folder + " (" + theirs + ")");
    EXPECT_EQ(outputs(), (std::vector<std::string>{"clip (変換中)", "clip_004.png"}));
}

}  // namespace
}  // namespace mirvane
