#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
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

// Table rows print as their names in failure messages.
template <typename Row>
requires requires(const Row& row) { row.name; }
void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }

struct ExistsCase {
    const char* name;
    std::function<std::string(const TempDir&)> make;  // returns the path to test
    bool exists;
};

class FileExistsTest : public testing::TestWithParam<ExistsCase> {};

TEST_P(FileExistsTest, CountsOnlyFilesAndLinksToFiles) {
    TempDir dir;
    EXPECT_EQ(fileExists(GetParam().make(dir)), GetParam().exists);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FileExistsTest,
    testing::Values(ExistsCase{"RegularFile", [](const TempDir& d) { return d.write("a.mp4", "x"); }, true},
                    ExistsCase{"EmptyFile", [](const TempDir& d) { return d.write("empty", ""); }, true},
                    ExistsCase{"LinkToFile",
                               [](const TempDir& d) {
                                   fs::create_symlink(d.write("target", "x"), d.file("link"));
                                   return d.file("link");
                               },
                               true},
                    ExistsCase{"LinkToDirectory",
                               [](const TempDir& d) {
                                   fs::create_directory(d.file("folder"));
                                   fs::create_directory_symlink(d.file("folder"), d.file("link"));
                                   return d.file("link");
                               },
                               false},
                    ExistsCase{"DanglingLink",
                               [](const TempDir& d) {
                                   fs::create_symlink(d.file("missing"), d.file("link"));
                                   return d.file("link");
                               },
                               false},
                    ExistsCase{"Directory", [](const TempDir& d) { return d.path(); }, false},
                    ExistsCase{"Missing", [](const TempDir& d) { return d.file("missing"); }, false},
                    ExistsCase{"FileUsedAsFolder",
                               [](const TempDir& d) { return d.write("plain", "x") + "/inner"; }, false},
                    ExistsCase{"DeviceNode", [](const TempDir&) { return std::string("/dev/null"); }, false},
                    ExistsCase{"EmptyPath", [](const TempDir&) { return std::string(); }, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DeleteFileTest, RemovesAFile) {
    TempDir dir;
    const std::string path = dir.write("old.log", "x");
    EXPECT_TRUE(deleteFile(path));
    EXPECT_FALSE(fs::exists(path));
}

TEST(DeleteFileTest, RemovesALinkButNotItsTarget) {
    TempDir dir;
    const std::string target = dir.write("target", "x");
    fs::create_symlink(target, dir.file("link"));
    EXPECT_TRUE(deleteFile(dir.file("link")));
    EXPECT_FALSE(fs::is_symlink(dir.file("link")));
    EXPECT_TRUE(fs::exists(target));
}

TEST(DeleteFileTest, FailsForMissingFileAndForDirectory) {
    TempDir dir;
    EXPECT_FALSE(deleteFile(dir.file("missing")));
    fs::create_directory(dir.file("folder"));
    EXPECT_FALSE(deleteFile(dir.file("folder")));
    EXPECT_TRUE(fs::is_directory(dir.file("folder")));
}

TEST(FileTest, CreateAlwaysMakesANewFileOthersMayRead) {
    TempDir dir;
    const mode_t previousMask = ::umask(022);
    std::error_code error;
    File file = File::createAlways(dir.file("new.log"), error);
    ::umask(previousMask);
    ASSERT_FALSE(error) << error.message();
    EXPECT_TRUE(file.isOpen());
    EXPECT_FALSE(file.write("line\r\n"));
    EXPECT_FALSE(file.close());
    EXPECT_EQ(contents(dir.file("new.log")), "line\r\n");
    const fs::perms perms = fs::status(dir.file("new.log")).permissions();
    EXPECT_NE(perms & fs::perms::others_read, fs::perms::none);
    EXPECT_EQ(perms & fs::perms::others_write, fs::perms::none);
}

TEST(FileTest, CreateAlwaysTruncatesAnExistingFile) {
    TempDir dir;
    const std::string path = dir.write("old.log", "a much longer earlier content");
    std::error_code error;
    File file = File::createAlways(path, error);
    ASSERT_FALSE(error);
    EXPECT_FALSE(file.write("new"));
    EXPECT_FALSE(file.close());
    EXPECT_EQ(contents(path), "new");
}

TEST(FileTest, AppendWritesAtTheEndEvenAfterAnotherWriter) {
    TempDir dir;
    const std::string path = dir.write("run.log", "first\n");
    std::error_code error;
    File file = File::openExistingForAppend(path, error);
    ASSERT_FALSE(error) << error.message();
    EXPECT_FALSE(file.write("second\n"));
    std::ofstream(path, std::ios::app) << "other\n";
    EXPECT_FALSE(file.write("third\n"));
    EXPECT_FALSE(file.close());
    EXPECT_EQ(contents(path), "first\nsecond\nother\nthird\n");
}

TEST(FileTest, LargeWriteArrivesWhole) {
    TempDir dir;
    std::string data(8 << 20, '\0');
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7 + i / 4096);
    std::error_code error;
    File file = File::createAlways(dir.file("big"), error);
    ASSERT_FALSE(error);
    EXPECT_FALSE(file.write(data));
    EXPECT_FALSE(file.close());
    EXPECT_EQ(contents(dir.file("big")), data);
}

TEST(FileTest, AppendToAMissingFileFailsWithoutCreatingIt) {
    TempDir dir;
    std::error_code error;
    File file = File::openExistingForAppend(dir.file("missing.log"), error);
    EXPECT_EQ(error, std::errc::no_such_file_or_directory);
    EXPECT_FALSE(file.isOpen());
    EXPECT_FALSE(fs::exists(dir.file("missing.log")));
}

struct DirectoryOpen {
    const char* name;
    File (*open)(const std::string&, std::error_code&);
};

class FileOnDirectoryTest : public testing::TestWithParam<DirectoryOpen> {};

TEST_P(FileOnDirectoryTest, FailsWithAnErrorAndWritesNothing) {
    TempDir dir;
    std::error_code error;
    File file = GetParam().open(dir.path(), error);
    EXPECT_EQ(error, std::errc::is_a_directory);
    EXPECT_FALSE(file.isOpen());
    EXPECT_EQ(file.write("x"), std::errc::bad_file_descriptor);
    EXPECT_TRUE(fs::is_directory(dir.path()));
}

INSTANTIATE_TEST_SUITE_P(Cases, FileOnDirectoryTest,
                         testing::Values(DirectoryOpen{"OpenForAppend", &File::openExistingForAppend},
                                         DirectoryOpen{"CreateAlways", &File::createAlways}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FileTest, NoDescriptorIsLeft) {
    TempDir dir;
    const std::string existing = dir.write("a.log", "");
    const int before = test::openDescriptorCount();
    for (int i = 0; i < 200; ++i) {
        std::error_code error;
        File closedExplicitly = File::createAlways(dir.file("b.log"), error);
        closedExplicitly.close();
        File closedByDestructor = File::openExistingForAppend(existing, error);
        File replaced = File::createAlways(dir.file("c.log"), error);
        replaced = File::openExistingForAppend(existing, error);
        File failed = File::openExistingForAppend(dir.file("missing"), error);
        File onDirectory = File::createAlways(dir.path(), error);
    }
    EXPECT_EQ(test::openDescriptorCount(), before);
}

TEST(FileTest, DescriptorIsNotInheritedAcrossExec) {
    TempDir dir;
    std::error_code error;
    File file = File::createAlways(dir.file("a.log"), error);
    ASSERT_FALSE(error);
    EncoderProcess process;
    ASSERT_FALSE(process.start({MIRVANE_FAKE_ENCODER, "list-fds"}));
    process.closeWriteEnd();
    std::string output;
    char buffer[512];
    std::ptrdiff_t got;
    while ((got = process.read(buffer, sizeof buffer)) > 0)
        output.append(buffer, static_cast<std::size_t>(got));
    process.close();
    EXPECT_EQ(output.find("a.log"), std::string::npos) << output;
}

TEST(ExecutablePathTest, IsTheRealFileOfThisProgram) {
    const std::string path = executablePath();
    EXPECT_TRUE(fs::path(path).is_absolute()) << path;
    EXPECT_FALSE(fs::is_symlink(path)) << path;
    EXPECT_TRUE(fileExists(path));
    EXPECT_EQ(fs::path(path).filename(), "platform_files_test");
}

}  // namespace
}  // namespace mirvane::platform
