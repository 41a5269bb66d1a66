// With the real encoder: presets that write several files (a playlist and
// its segments, an image sequence) convert beside the input, under names made
// from the output's, and never over a file that is there.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine/batch/batch_runner.h"
#include "engine/window/texts.h"
#include "support/fake_main_window_view.h"
#include "support/queue_ui_thread.h"
#include "support/temp_dir.h"

namespace mirvane {
namespace {

namespace fs = std::filesystem;
using enum JobStatus;

std::string realEncoder() {
    for (const char* place : {"/usr/bin/ffmpeg", "/usr/local/bin/ffmpeg"})
        if (fs::exists(place)) return place;
    return {};
}

class RealEncoderBatchTest : public ::testing::Test {
protected:
    RealEncoderBatchTest() : paths(AppPaths::fromExecutable(dir.file("Mirvane"))) {
        fs::create_directory(dir.file("ffmpeg"));
        if (!realEncoder().empty()) fs::create_symlink(realEncoder(), paths.encoder);
        view.preset = 0;
        fs::create_directory(dir.file("videos"));
        clip = dir.file("videos/clip.mkv");
    }
    void SetUp() override {
        if (realEncoder().empty()) GTEST_SKIP() << "no ffmpeg";
        const std::string make =
            realEncoder() +
            " -v error -y -f lavfi -i testsrc=duration=3:size=160x120:rate=10 -f lavfi -i "
            "sine=duration=3 -c:v mpeg2video -c:a mp2 -shortest '" +
            clip + "'";
        ASSERT_EQ(std::system(make.c_str()), 0);
    }
    void convert(const std::string& option, const std::string& ext) {
        presets.Presets = {{"Preset", option, ext}};
        jobs.clear();
        jobs.append({clip});
        driver.startOrStop();
    }
    // The folder's names but the input's.
    std::vector<std::string> outputs() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir.file("videos")))
            if (entry.path().filename() != "clip.mkv") names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    TempDir dir;
    AppPaths paths;
    std::string clip;
    PresetTable presets;
    BatchFlags flags;
    test::QueueUiThread uiThread;
    test::FakeMainWindowView view;
    JobList jobs{view};
    SteadyClock clock;
    BatchRunner driver{flags, uiThread, view, jobs, paths, presets, clock};
};

TEST_F(RealEncoderBatchTest, AnHlsPlaylistAndItsSegmentsLandBesideTheInput) {
    convert("-i %INPFILE -c:v mpeg2video -c:a mp2 -f hls -hls_time 1 -hls_list_size 0 %OUTFILE", ".m3u8");
    EXPECT_EQ(jobs.row(0).status, Converted) << jobs.row(0).reason;
    const std::vector<std::string> names = outputs();
    ASSERT_GE(names.size(), 3u);
    EXPECT_EQ(names.front(), "clip.m3u8");
    for (std::size_t i = 1; i < names.size(); ++i)
        EXPECT_EQ(names[i], "clip" + std::to_string(i - 1) + ".ts");
    const std::string playlist = readBytes(dir.file("videos/clip.m3u8"));
    EXPECT_NE(playlist.find("\nclip0.ts"), std::string::npos) << playlist;
    EXPECT_NE(playlist.find("#EXT-X-ENDLIST"), std::string::npos) << playlist;
}

TEST_F(RealEncoderBatchTest, AnImageSequenceLandsBesideTheInputAndNeverOverAFile) {
    convert("-i %INPFILE -r 2 %OUTFILE", "_%03d.png");
    EXPECT_EQ(jobs.row(0).status, Converted) << jobs.row(0).reason;
    const std::vector<std::string> images = outputs();
    ASSERT_GE(images.size(), 6u);
    for (std::size_t i = 0; i < images.size(); ++i) {
        const std::string number = std::to_string(i + 1);
        EXPECT_EQ(images[i], "clip_" + std::string(3 - number.size(), '0') + number + ".png");
    }
    EXPECT_EQ(readBytes(dir.file("videos/clip_001.png")).substr(1, 3), "PNG");

    // One image of the sequence is someone's: none of the new ones moves,
    // they stay together in the working folder the row names.
    for (const std::string& name : outputs()) fs::remove(dir.file("videos/" + name));
    const std::string theirs = dir.write("videos/clip_004.png", "theirs");
    convert("-i %INPFILE -r 2 %OUTFILE", "_%03d.png");
    EXPECT_EQ(jobs.row(0).status, Failed);
    const std::string folder = dir.file("videos/clip (変換中)");
    EXPECT_EQ(jobs.row(0).reason,
              std::string(texts::kReasonKeptInWorkingFolder) + ": " + folder + " (" + theirs + ")");
    EXPECT_EQ(readBytes(theirs), "theirs");
    EXPECT_EQ(outputs(), (std::vector<std::string>{"clip (変換中)", "clip_004.png"}));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()),
              static_cast<std::ptrdiff_t>(images.size()));
}

}  // namespace
}  // namespace mirvane
