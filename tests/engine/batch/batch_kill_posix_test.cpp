// The program killed at random instants of a batch with the real encoder:
// no name an output is given ever holds less than the whole conversion, and
// the next start brings back exactly the rows there were and leaves no
// working file behind.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <random>
#include <sstream>
#include <thread>

#include "support/temp_dir.h"

namespace mirvane {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string output(const std::string& command) {
    std::string text;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, pipe)) text += buffer;
        ::pclose(pipe);
    }
    return text;
}

double duration(const fs::path& file) {
    const std::string text =
        output("ffprobe -v error -show_entries format=duration -of csv=p=0 '" + file.string() + "'");
    return text.empty() ? -1 : std::stod(text);
}

pid_t start(const std::vector<std::string>& arguments) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::vector<char*> argv;
        for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        ::execv(MIRVANE_BATCH_HOST, argv.data());
        ::_exit(127);
    }
    return pid;
}

class KilledBatch : public testing::Test {
protected:
    void SetUp() override {
        if (output("command -v ffmpeg ffprobe").empty()) GTEST_SKIP() << "no ffmpeg";
        program.write("MovieSet.ini",
                      "[List]\nListTitle00=x264\nListOption00=-i %INPFILE -c:v libx264 -preset ultrafast "
                      "-c:a aac %OUTFILE\nListExt00=.mp4\n");
        fs::create_directory(program.file("ffmpeg"));
        fs::create_symlink(output("command -v ffmpeg").substr(0, output("command -v ffmpeg").size() - 1),
                           program.file("ffmpeg/ffmpeg"));
        clip = program.file("clip.mkv");
        output(
            "ffmpeg -v error -f lavfi -i testsrc=duration=2:size=320x240:rate=25 -f lavfi -i "
            "sine=duration=2 -shortest '" +
            clip + "'");
        clipSeconds = duration(clip);
        ASSERT_GT(clipSeconds, 1.5);
    }
    // Three inputs in a fresh folder.
    std::vector<std::string> inputs(const TempDir& folder) {
        std::vector<std::string> files;
        for (const char* name : {"一本目.mkv", "clip 2.mkv", "-three.mkv"}) {
            fs::copy_file(clip, folder.file(name));
            files.push_back(folder.file(name));
        }
        return files;
    }

    TempDir program;
    std::string clip;
    double clipSeconds = 0;
};

TEST_F(KilledBatch, LeavesOnlyCompleteOutputsAndTheRowsForTheNextStart) {
    // A whole batch first, for how long one takes.
    TempDir whole;
    const auto begun = std::chrono::steady_clock::now();
    int status = 0;
    std::vector<std::string> arguments{"batch_host", program.path(), "run"};
    for (const std::string& file : inputs(whole)) arguments.push_back(file);
    ::waitpid(start(arguments), &status, 0);
    const auto batchTime = std::chrono::steady_clock::now() - begun;
    for (const char* name : {"一本目.mp4", "clip 2.mp4", "-three.mp4"})
        EXPECT_NEAR(duration(whole.file(name)), clipSeconds, 0.1) << name;

    std::mt19937 random(20261208);
    std::uniform_int_distribution<long long> instant(
        0, std::chrono::duration_cast<std::chrono::microseconds>(batchTime).count());
    int complete = 0, interrupted = 0, restoredConverted = 0;
    for (int kill = 0; kill < 100; ++kill) {
        SCOPED_TRACE("kill " + std::to_string(kill));
        TempDir folder;
        const std::vector<std::string> files = inputs(folder);
        std::vector<std::string> run{"batch_host", program.path(), "run"};
        run.insert(run.end(), files.begin(), files.end());
        const pid_t host = start(run);
        std::this_thread::sleep_for(std::chrono::microseconds(instant(random)));
        ::kill(host, SIGKILL);
        ::waitpid(host, &status, 0);

        for (const fs::directory_entry& entry : fs::directory_iterator(folder.path())) {
            const std::string name = entry.path().filename().string();
            if (name.find("(変換中") != std::string::npos) {
                ++interrupted;
            } else if (entry.path().extension() == ".mp4") {
                ++complete;
                EXPECT_NEAR(duration(entry.path()), clipSeconds, 0.1) << name;
            }
        }
        std::istringstream restored(
            output(std::string(MIRVANE_BATCH_HOST) + " '" + program.path() + "' restore"));
        std::vector<std::string> rows;
        for (std::string line; std::getline(restored, line);) {
            const int rowStatus = line[0] - '0';
            EXPECT_TRUE(rowStatus == 0 || rowStatus == 2) << line;  // 未変換 or 変換済
            restoredConverted += rowStatus == 2;
            rows.push_back(line.substr(2));
        }
        // Killed before the first write of the list, nothing is restored.
        if (!rows.empty()) {
            EXPECT_EQ(rows, files);
        }
        // A restore leaves at most an empty working file: one killed between
        // its making and its identity reaching the list (the encoder starts
        // after that), which nothing proves to be Mirvane's.
        for (const fs::directory_entry& entry : fs::directory_iterator(folder.path())) {
            if (entry.path().filename().string().find("(変換中") != std::string::npos) {
                EXPECT_EQ(fs::file_size(entry.path()), 0u) << entry.path();
            }
        }
    }
    std::printf(
        "| kills | complete outputs found | working files found | rows restored as converted |\n"
        "| 100 | %d | %d | %d |\n",
        complete, interrupted, restoredConverted);
}

// On a full disk the encoder may still print its summary, and even exit 0.
TEST_F(KilledBatch, AFullDiskIsAnErrorWithNothingUnderTheOutputsName) {
    TempDir folder;
    const std::string disk = folder.file("disk");
    fs::create_directory(disk);
    if (!output("mount -t tmpfs -o size=" + std::to_string(fs::file_size(clip) + 64 * 1024) + " tmpfs '" +
                disk + "' 2>&1 && echo mounted")
             .ends_with("mounted\n"))
        GTEST_SKIP() << "a small file system needs root to mount";
    fs::copy_file(clip, disk + "/clip.mkv");
    const std::string rows =
        output(std::string(MIRVANE_BATCH_HOST) + " '" + program.path() + "' run '" + disk + "/clip.mkv'");
    std::vector<std::string> left;
    for (const fs::directory_entry& entry : fs::directory_iterator(disk))
        left.push_back(entry.path().filename());
    output("umount '" + disk + "'");
    EXPECT_EQ(rows, "3 " + disk + "/clip.mkv\n");  // エラー
    EXPECT_EQ(left, std::vector<std::string>{"clip.mkv"});
}

}  // namespace
}  // namespace mirvane
