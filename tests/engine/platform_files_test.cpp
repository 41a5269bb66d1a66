#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "engine/platform/platform.h"
#include "support/descriptor_count.h"
#include "support/temp_dir.h"

namespace mirvane::platform {
namespace {

namespace fs = std::filesystem;

std::string contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(FileExists, CountsOnlyFilesAndLinksToFiles) {
    TempDir dir;
    fs::create_symlink(dir.write("file", "x"), dir.file("link to file"));
    fs::create_directory_symlink(dir.path(), dir.file("link to folder"));
    fs::create_symlink(dir.file("missing"), dir.file("dangling link"));
    const struct {
        std::string path;
        bool exists;
    } rows[] = {
        {dir.file("file"), true},
        {dir.file("link to file"), true},
        {dir.path(), false},
        {dir.file("link to folder"), false},
        {dir.file("dangling link"), false},
        {dir.file("missing"), false},
        {"/dev/null", false},
    };
    for (const auto& row : rows) EXPECT_EQ(fileExists(row.path), row.exists) << row.path;
}

TEST(DeleteFile, RemovesFilesButNoFolder) {
    TempDir dir;
    const std::string path = dir.write("old.log", "x");
    EXPECT_TRUE(deleteFile(path));
    EXPECT_FALSE(fs::exists(path));
    EXPECT_FALSE(deleteFile(path));
    EXPECT_FALSE(deleteFile(dir.path()));
    EXPECT_TRUE(fs::is_directory(dir.path()));
}

TEST(File, CreateAlwaysMakesAFileOthersMayRead) {
    TempDir dir;
    const mode_t previousMask = ::umask(022);
    std::error_code error;
    File file = File::createAlways(dir.file("new.log"), error);
    ::umask(previousMask);
    ASSERT_FALSE(error) << error.message();
    EXPECT_FALSE(file.write("line\r\n"));
    EXPECT_FALSE(file.close());
    EXPECT_EQ(contents(dir.file("new.log")), "line\r\n");
    const fs::perms perms = fs::status(dir.file("new.log")).permissions();
    EXPECT_NE(perms & fs::perms::others_read, fs::perms::none);
    EXPECT_EQ(perms & fs::perms::others_write, fs::perms::none);
}

TEST(File, AppendOpensOnlyAnExistingFileAndWritesAtItsEndEvenAfterAnotherWriter) {
    TempDir dir;
    std::error_code error;
    File missing = File::openExistingForAppend(dir.file("missing.log"), error);
    EXPECT_EQ(error, std::errc::no_such_file_or_directory);
    EXPECT_EQ(missing.write("x"), std::errc::bad_file_descriptor);
    EXPECT_FALSE(fs::exists(dir.file("missing.log")));

    const std::string path = dir.write("run.log", "first\n");
    File file = File::openExistingForAppend(path, error);
    ASSERT_FALSE(error) << error.message();
    EXPECT_FALSE(file.write("second\n"));
    std::ofstream(path, std::ios::app) << "other\n";
    EXPECT_FALSE(file.write("third\n"));
    EXPECT_EQ(contents(path), "first\nsecond\nother\nthird\n");
}

TEST(File, MovesAndDestructionLeaveNoDescriptorOpen) {
    TempDir dir;
    const std::string existing = dir.write("a.log", "");
    const int before = test::openDescriptorCount();
    for (int i = 0; i < 100; ++i) {
        std::error_code error;
        File closedByDestructor = File::openExistingForAppend(existing, error);
        File replaced = File::createAlways(dir.file("b.log"), error);
        replaced = std::move(closedByDestructor);
        File movedTo(std::move(replaced));
    }
    EXPECT_EQ(test::openDescriptorCount(), before);
}

TEST(ExecutablePath, IsTheRealFileOfThisProgram) {
    const fs::path path = executablePath();
    EXPECT_TRUE(path.is_absolute()) << path;
    EXPECT_FALSE(fs::is_symlink(path)) << path;
    EXPECT_EQ(path.filename(), "platform_files_test");
}

}  // namespace
}  // namespace mirvane::platform
