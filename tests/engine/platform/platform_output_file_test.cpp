// The encoder's output file: made exclusively, written by name as the encoder
// does, given its final name without replacing anything.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

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

}  // namespace
}  // namespace mirvane::platform
