// The encoder's output file: made exclusively, written by name as the encoder
// does, given its final name without replacing anything.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "engine/jobs/paths.h"
#include "engine/platform/files.h"
#include "engine/platform/output_file.h"
#include "support/temp_dir.h"

namespace mirvane::platform {
namespace {

std::filesystem::path native(const std::string& utf8) { return std::u8string(utf8.begin(), utf8.end()); }

WorkingFile createWritten(const std::string& path, const std::string& bytes) {
    std::error_code error;
    WorkingFile file = WorkingFile::create(path, error);
    EXPECT_FALSE(error) << path << ": " << error.message();
    std::ofstream(native(file.encoderPath()), std::ios::binary | std::ios::trunc) << bytes;
    return file;
}

TEST(WorkingFile, CreateRefusesATakenName) {
    TempDir dir;
    const std::string file = dir.write("file.mp4", "theirs");
    std::filesystem::create_directory(native(dir.file("folder.mp4")));
    for (const std::string& path : {file, dir.file("folder.mp4")}) {
        std::error_code error;
        EXPECT_FALSE(WorkingFile::create(path, error).isOpen()) << path;
        EXPECT_EQ(error, std::errc::file_exists) << path << ": " << error.message();
    }
    EXPECT_EQ(readBytes(file), "theirs");
}

// The encoder picks the format from the name it is handed.
TEST(WorkingFile, EncoderPathKeepsTheExtension) {
    TempDir dir;
    for (const char* name : {"clip.mp4", "clip.part.mkv", "no extension"}) {
        const WorkingFile file = createWritten(dir.file(name), "");
        EXPECT_EQ(file.path(), dir.file(name));
        EXPECT_EQ(ExtractExtension(file.encoderPath()), ExtractExtension(file.path())) << name;
    }
}

TEST(WorkingFile, CommitNeverReplacesATakenName) {
    TempDir dir;
    const std::string taken = dir.write("clip.mp4", "theirs");
    WorkingFile file = createWritten(dir.file("clip.mp4.part"), "encoded bytes");
    const std::string encoderPath = file.encoderPath();
    std::uint64_t bytes = 0;
    EXPECT_FALSE(file.size(bytes));
    EXPECT_EQ(bytes, 13u);

    EXPECT_EQ(file.commit(taken), std::errc::file_exists);
    EXPECT_EQ(readBytes(taken), "theirs");
    EXPECT_EQ(readBytes(file.path()), "encoded bytes");
    EXPECT_FALSE(file.commit(dir.file("clip (2).mp4")));
    EXPECT_FALSE(file.isOpen());
    EXPECT_EQ(readBytes(dir.file("clip (2).mp4")), "encoded bytes");
    EXPECT_FALSE(entryExists(dir.file("clip.mp4.part")));
    EXPECT_FALSE(entryExists(encoderPath));
}

TEST(WorkingFile, EveryWayOfLettingGoRemovesTheFile) {
    const std::function<void(WorkingFile&)> ways[] = {
        [](WorkingFile& file) { file.discard(); },
        [](WorkingFile& file) { WorkingFile gone = std::move(file); },
        [](WorkingFile& file) { file = WorkingFile(); },
    };
    for (const auto& letGo : ways) {
        TempDir dir;
        WorkingFile file = createWritten(dir.file("clip.mp4"), "half");
        const std::string encoderPath = file.encoderPath();
        letGo(file);
        EXPECT_FALSE(file.isOpen());
        EXPECT_FALSE(entryExists(dir.file("clip.mp4")));
        EXPECT_FALSE(entryExists(encoderPath));
    }
}

// A power cut right after the final name is made must find the bytes there.
TEST(WorkingFile, CommitFlushesBeforeItNames) {
    for (const bool several : {false, true}) {
        TempDir dir;
        std::vector<std::string> steps;
        observeCommitSteps([&steps](std::string_view step) { steps.emplace_back(step); });
        std::error_code error;
        if (several) {
            WorkingFolder folder = WorkingFolder::create(dir.file("clip (変換中)"), error);
            ASSERT_FALSE(error) << error.message();
            std::ofstream(native(folder.encoderPath("clip.m3u8")), std::ios::binary) << "playlist";
            std::vector<std::string> moved;
            std::string taken;
            EXPECT_FALSE(folder.commit(moved, taken));
        } else {
            WorkingFile file = createWritten(dir.file("clip (変換中).mp4"), "bytes");
            EXPECT_FALSE(file.commit(dir.file("clip.mp4")));
        }
        observeCommitSteps({});
        EXPECT_EQ(steps, (std::vector<std::string>{"flush", "name"})) << several;
    }
}

// Several files: a name taken beside the folder moves none of them; once it
// is free, all move and the folder goes.
TEST(WorkingFolder, MovesAllItsFilesOrNone) {
    TempDir dir;
    std::error_code error;
    WorkingFolder folder = WorkingFolder::create(dir.file("clip (変換中)"), error);
    ASSERT_FALSE(error) << error.message();
    EXPECT_EQ(WorkingFolder::create(dir.file("clip (変換中)"), error).isOpen(), false);
    EXPECT_EQ(error, std::errc::file_exists);
    for (const char* name : {"clip_001.png", "clip_002.png"})
        std::ofstream(native(folder.encoderPath(name)), std::ios::binary) << name;
    const std::string theirs = dir.write("clip_002.png", "theirs");
    std::vector<std::string> moved;
    std::string taken;
    EXPECT_EQ(folder.commit(moved, taken), std::errc::file_exists);
    EXPECT_EQ(taken, theirs);
    EXPECT_FALSE(entryExists(dir.file("clip_001.png")));
    EXPECT_EQ(readBytes(theirs), "theirs");
    std::filesystem::remove(native(theirs));
    EXPECT_FALSE(folder.commit(moved, taken));
    EXPECT_EQ(moved.size(), 2u);
    EXPECT_EQ(readBytes(dir.file("clip_002.png")), "clip_002.png");
    EXPECT_FALSE(entryExists(dir.file("clip (変換中)")));
}

}  // namespace
}  // namespace mirvane::platform
