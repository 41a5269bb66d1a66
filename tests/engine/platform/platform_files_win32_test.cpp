// Files on Windows: wide names, what counts as an entry or a usable file, and
// opens that refuse devices and pipes without waiting on them.

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <string>

#include "engine/platform/files.h"
#include "engine/platform/win32/win32_internal.h"
#include "engine/settings/profile_reader.h"
#include "support/descriptor_count.h"
#include "support/temp_dir.h"

namespace mirvane::platform {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

fs::path native(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

// A named pipe with a server end waiting: opening its name as a file would
// connect to it, and a write or read could then wait for the server for ever.
class PipeServer {
public:
    PipeServer()
        : m_name("\\\\.\\pipe\\mirvane-test-" + std::to_string(GetCurrentProcessId())),
          m_handle(CreateNamedPipeW(native(m_name).wstring().c_str(), PIPE_ACCESS_DUPLEX,
                                    PIPE_TYPE_BYTE | PIPE_WAIT, PIPE_UNLIMITED_INSTANCES, 4096, 4096, 0,
                                    nullptr)) {}
    ~PipeServer() { CloseHandle(m_handle); }
    const std::string& name() const { return m_name; }
    bool ready() const { return m_handle != INVALID_HANDLE_VALUE; }

private:
    std::string m_name;
    HANDLE m_handle;
};

// The folder's name is outside any one ANSI code page, so a narrow name read
// in that code page would name another file.
TEST(EntryExists, CountsEveryKindOfEntryWhateverItsName) {
    TempDir dir;
    const std::string folder = dir.file("映画 🎬 한국");
    fs::create_directories(native(folder + "\\sub"));
    dir.write("映画 🎬 한국\\clip é.avi", "x");
    const struct {
        std::string path;
        bool exists;  // and so no name for a new file
        bool readable;
        bool executable;
    } rows[] = {
        {folder + "\\clip é.avi", true, true, true},
        {folder + "\\sub", true, false, false},
        {folder, true, false, false},
        {folder + "\\missing.avi", false, false, false},
        // A device is an entry a new file must not be written through, but no
        // readable file.
        {"NUL", true, false, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path);
        EXPECT_EQ(entryExists(row.path), row.exists);
        EXPECT_EQ(isReadableFile(row.path), row.readable);
        EXPECT_EQ(isExecutableFile(row.path), row.executable);
    }
}

TEST(File, OpensRefuseDevicesAndPipesWithoutWaiting) {
    PipeServer pipe;
    ASSERT_TRUE(pipe.ready());
    for (const std::string& path : {std::string("NUL"), pipe.name()}) {
        SCOPED_TRACE(path);
        auto attempt = std::async(std::launch::async, [&] {
            std::error_code appendError, createError;
            const bool appended = File::openExistingForAppend(path, appendError).isOpen();
            const bool created = File::createAlways(path, createError).isOpen();
            std::string content;
            const std::error_code readError = readFile(path, 1024, content);
            return !appended && appendError && !created && createError && readError;
        });
        ASSERT_EQ(attempt.wait_for(5s), std::future_status::ready) << "an open waited";
        EXPECT_TRUE(attempt.get());
    }
}

// A link planted at the log's or the script's name is not written through:
// both opens refuse it and the file it leads to keeps its content.
TEST(File, OpensRefuseALinkAtTheName) {
    TempDir dir;
    const std::string target = dir.write("target.log", "old");
    const std::wstring link = win32::toWide(dir.file("Mirvane.log"));
    const bool made =
        CreateSymbolicLinkW(link.c_str(), win32::toWide(target).c_str(), SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
    const DWORD attributes = GetFileAttributesW(link.c_str());
    if (!made || attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
        GTEST_SKIP() << "no link can be planted here (no right to make one, or Wine, which keeps them its own way)";
    std::error_code error;
    EXPECT_FALSE(File::openExistingForAppend(dir.file("Mirvane.log"), error).isOpen());
    EXPECT_FALSE(File::createAlways(dir.file("Mirvane.log"), error).isOpen());
    std::string content;
    EXPECT_FALSE(readFile(target, 100, content));
    EXPECT_EQ(content, "old");
}

// Others may read the log while it is open, append to it, and delete it (the
// next batch deletes the last one's log while a viewer may hold it open).
TEST(File, AppendsAtTheEndAndLetsOthersReadWriteAndDelete) {
    TempDir dir;
    const std::string path = dir.write("ログ.log", "first\n");
    std::error_code error;
    File file = File::openExistingForAppend(path, error);
    ASSERT_FALSE(error) << error.message();
    EXPECT_FALSE(file.write("second\n"));
    std::ofstream(native(path), std::ios::app | std::ios::binary) << "other\n";
    EXPECT_FALSE(file.write("third\n"));
    EXPECT_EQ(readBytes(path), "first\nsecond\nother\nthird\n");
    EXPECT_TRUE(deleteFile(path));
    EXPECT_FALSE(file.close());

    File created = File::createAlways(path, error);
    ASSERT_FALSE(error) << error.message();
    EXPECT_FALSE(created.write("new\n"));
    EXPECT_EQ(readBytes(path), "new\n");
    EXPECT_FALSE(created.close());
    EXPECT_EQ(created.close(), std::errc::bad_file_descriptor);
}

TEST(ReadFile, ReadsWholeFilesUpToTheLimitOnly) {
    TempDir dir;
    const std::string path = dir.write("ソフト\\MovieSet.ini", std::string(1000, 'x'));
    std::string content = "unchanged";
    EXPECT_EQ(readFile(path, 999, content), std::errc::file_too_large);
    EXPECT_EQ(content, "unchanged");
    EXPECT_FALSE(readFile(path, 1000, content));
    EXPECT_EQ(content, std::string(1000, 'x'));
    EXPECT_EQ(readFile(dir.file("ソフト\\missing.ini"), 1000, content), std::errc::no_such_file_or_directory);
    EXPECT_TRUE(readFile(dir.file("ソフト"), 1000, content)) << "a folder was read";
}

// std::filesystem with a narrow name reads it in the ANSI code page: a
// settings file in a folder named ソフト loaded empty on a Western system.
TEST(ProfileFile, LoadsFromAFolderNamedOutsideTheAnsiCodePage) {
    TempDir dir;
    const std::string path = dir.write("ソフト 🎬\\MovieSet.ini", "[List]\r\nListTitle00=動画\r\n");
    EXPECT_EQ(ProfileFile::load(path).value("List", "ListTitle00"), "動画");
}

TEST(File, MovesAndDestructionLeaveNoHandleOpen) {
    TempDir dir;
    const std::string existing = dir.write("a.log", "");
    const int before = test::openDescriptorCount();
    ASSERT_GT(before, 0);
    for (int i = 0; i < 100; ++i) {
        std::error_code error;
        File closedByDestructor = File::openExistingForAppend(existing, error);
        File replaced = File::createAlways(dir.file("b.log"), error);
        replaced = std::move(closedByDestructor);
        File movedTo(std::move(replaced));
    }
    EXPECT_EQ(test::openDescriptorCount(), before);
}

TEST(ExecutablePath, IsThisProgramsFile) {
    const std::string path = executablePath();
    EXPECT_TRUE(native(path).is_absolute()) << path;
    EXPECT_EQ(native(path).filename(), "platform_files_win32_test.exe");
    EXPECT_TRUE(isReadableFile(path));
}

}  // namespace
}  // namespace mirvane::platform
