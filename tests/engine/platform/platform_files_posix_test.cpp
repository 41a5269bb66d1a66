#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "engine/platform/files.h"
#include "support/descriptor_count.h"
#include "support/special_files.h"
#include "support/temp_dir.h"

namespace mirvane::platform {
namespace {

namespace fs = std::filesystem;

// Anything at a name, a folder included, is something a new file must not be
// written through, blocked on or refused by.
TEST(EntryExists, CountsEveryKindOfEntry) {
    TempDir dir;
    fs::create_symlink(dir.write("file", "x"), dir.file("link to file"));
    fs::create_directory_symlink(dir.path(), dir.file("link to folder"));
    fs::create_symlink(dir.file("missing"), dir.file("dangling link"));
    fs::create_symlink("/dev/null", dir.file("link to a device"));
    test::makeFifo(dir.file("fifo"));
    test::makeSocketEntry(dir.file("socket"));
    const struct {
        const char* name;
        std::string path;
        bool exists;
    } rows[] = {
        {"regular file", dir.file("file"), true},
        {"link to a file", dir.file("link to file"), true},
        {"dangling link", dir.file("dangling link"), true},
        {"link to a folder", dir.file("link to folder"), true},
        {"link to a device", dir.file("link to a device"), true},
        {"FIFO", dir.file("fifo"), true},
        {"socket", dir.file("socket"), true},
        {"device", "/dev/null", true},
        {"folder", dir.path(), true},
        {"nothing", dir.file("missing"), false},
    };
    for (const auto& row : rows) EXPECT_EQ(entryExists(row.path), row.exists) << row.name;
}

// The start-up checks need files they can use. Tests run as root, who may
// read anything, so only the execute bit can be taken away.
TEST(IsReadableOrExecutableFile, OnlyRegularFilesWithTheRight) {
    TempDir dir;
    const std::string script = dir.write("script", "#!/bin/sh\n");
    fs::permissions(script, fs::perms::owner_all);
    const std::string data = dir.write("data", "x");
    fs::permissions(data, fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink(script, dir.file("link to script"));
    fs::create_symlink(dir.file("missing"), dir.file("dangling link"));
    test::makeFifo(dir.file("fifo"));
    const struct {
        const char* name;
        std::string path;
        bool readable;
        bool executable;
    } rows[] = {
        {"executable file", script, true, true},
        {"file without execute bits", data, true, false},
        {"link to an executable file", dir.file("link to script"), true, true},
        {"folder", dir.path(), false, false},
        {"FIFO", dir.file("fifo"), false, false},
        {"device", "/dev/null", false, false},
        {"dangling link", dir.file("dangling link"), false, false},
        {"nothing", dir.file("missing"), false, false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(isReadableFile(row.path), row.readable) << row.name;
        EXPECT_EQ(isExecutableFile(row.path), row.executable) << row.name;
    }
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
    EXPECT_EQ(readBytes(dir.file("new.log")), "line\r\n");
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
    EXPECT_EQ(readBytes(path), "first\nsecond\nother\nthird\n");
}

// Both opens would block on a FIFO without a reader, and would write through
// one with a reader, or into a device, if they did not refuse them. A link
// planted at the log's or the script's name would have them written over,
// or made as, a file of the link maker's choice.
TEST(File, OpensNeverBlockAndRefuseAnythingButARegularFile) {
    TempDir dir;
    test::makeFifo(dir.file("fifo"));
    test::makeFifo(dir.file("fifo with a reader"));
    const int reader = ::open(dir.file("fifo with a reader").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    test::makeSocketEntry(dir.file("socket"));
    fs::create_symlink(dir.write("target.log", "old"), dir.file("link.log"));
    fs::create_symlink(dir.file("made.log"), dir.file("dangling.log"));
    const struct {
        const char* name;
        std::string path;
        std::errc expected;  // std::errc{}: opened
    } rows[] = {
        {"FIFO without a reader", dir.file("fifo"), std::errc::no_such_device_or_address},
        {"FIFO with a reader", dir.file("fifo with a reader"), std::errc::invalid_argument},
        {"socket", dir.file("socket"), std::errc::no_such_device_or_address},
        {"device", "/dev/null", std::errc::invalid_argument},
        {"folder", dir.path(), std::errc::is_a_directory},
        {"link to a regular file", dir.file("link.log"), std::errc::too_many_symbolic_link_levels},
        {"link to nothing yet", dir.file("dangling.log"), std::errc::too_many_symbolic_link_levels},
        {"regular file", dir.write("plain.log", "x"), std::errc{}},
    };
    const int descriptors = test::openDescriptorCount();
    for (const auto& row : rows) {
        for (const bool append : {true, false}) {
            SCOPED_TRACE(std::string(row.name) + (append ? ", append" : ", create"));
            test::FifoRescue rescue(row.path);
            std::error_code error;
            File file =
                append ? File::openExistingForAppend(row.path, error) : File::createAlways(row.path, error);
            EXPECT_FALSE(rescue.rescued()) << "the open blocked";
            if (row.expected == std::errc{}) {
                EXPECT_FALSE(error) << error.message();
            } else {
                EXPECT_EQ(error, row.expected) << error.message();
            }
            EXPECT_EQ(file.isOpen(), row.expected == std::errc{});
        }
    }
    EXPECT_EQ(test::openDescriptorCount(), descriptors);
    ::close(reader);
    EXPECT_EQ(readBytes(dir.file("target.log")), "old") << "the file was emptied through the link";
    EXPECT_FALSE(fs::exists(dir.file("made.log"))) << "a file was made through the link";
}

TEST(ReadFile, ReadsWholeRegularFilesUpToTheLimitOnly) {
    TempDir dir;
    constexpr std::size_t kLimit = 1000;
    test::makeFifo(dir.file("fifo"));
    const std::string sparse = dir.file("sparse");
    std::ofstream(sparse).close();
    fs::resize_file(sparse, 3ULL << 30);  // 3 GiB of holes, no disk used
    const struct {
        const char* name;
        std::string path;
        std::errc expected;  // std::errc{}: read
        std::string content;
    } rows[] = {
        {"empty file", dir.write("empty", ""), std::errc{}, ""},
        {"file at the limit", dir.write("full", std::string(kLimit, 'x')), std::errc{},
         std::string(kLimit, 'x')},
        {"bytes kept as they are", dir.write("bytes", std::string("a\0\r\n\xff", 5)), std::errc{},
         std::string("a\0\r\n\xff", 5)},
        {"one byte over", dir.write("over", std::string(kLimit + 1, 'x')), std::errc::file_too_large,
         "before"},
        {"3 GiB file", sparse, std::errc::file_too_large, "before"},
        {"missing file", dir.file("missing"), std::errc::no_such_file_or_directory, "before"},
        {"folder", dir.path(), std::errc::is_a_directory, "before"},
        {"FIFO without a writer", dir.file("fifo"), std::errc::invalid_argument, "before"},
        {"endless device", "/dev/zero", std::errc::invalid_argument, "before"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::string content = "before";
        const std::error_code error = readFile(row.path, kLimit, content);
        if (row.expected == std::errc{}) {
            EXPECT_FALSE(error) << error.message();
        } else {
            EXPECT_EQ(error, row.expected) << error.message();
        }
        EXPECT_EQ(content, row.content);
    }
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

// A link planted at the temporary's name is replaced, never written through;
// the list of a user's files is theirs alone.
TEST(ReplaceFileContents, NeverWritesThroughALinkAndKeepsTheFileToItsOwner) {
    TempDir dir;
    const std::string path = dir.file("a.jobs");
    fs::create_symlink(dir.write("target", "untouched"), path + ".new");
    ASSERT_FALSE(replaceFileContents(path, "new"));
    EXPECT_EQ(readBytes(dir.file("target")), "untouched");
    EXPECT_EQ(readBytes(path), "new");
    EXPECT_EQ(fs::symlink_status(path).permissions(), fs::perms::owner_read | fs::perms::owner_write);
}

TEST(ExecutablePath, IsTheRealFileOfThisProgram) {
    const fs::path path = executablePath();
    EXPECT_TRUE(path.is_absolute()) << path;
    EXPECT_FALSE(fs::is_symlink(path)) << path;
    EXPECT_EQ(path.filename(), "platform_files_posix_test");
}

}  // namespace
}  // namespace mirvane::platform
