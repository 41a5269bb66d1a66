// The encoder's output file on POSIX systems: links at the working name, also
// one planted after the file was made, and the encoder as a child process.

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "engine/platform/files.h"
#include "engine/platform/output_file.h"
#include "support/descriptor_count.h"
#include "support/special_files.h"
#include "support/temp_dir.h"

namespace mirvane::platform {
namespace {

namespace fs = std::filesystem;

TEST(WorkingFile, CreateTouchesNothingThatIsThere) {
    TempDir dir;
    const std::string victim = dir.write("victim", "precious");
    fs::create_symlink(victim, dir.file("link"));
    fs::create_symlink(dir.file("missing"), dir.file("dangling"));
    fs::create_directory_symlink(dir.path(), dir.file("folder link"));
    test::makeFifo(dir.file("fifo"));
    test::FifoRescue rescue(dir.file("fifo"));
    for (const char* name : {"link", "dangling", "folder link", "fifo"}) {
        std::error_code error;
        EXPECT_FALSE(WorkingFile::create(dir.file(name), error).isOpen()) << name;
        EXPECT_EQ(error, std::errc::file_exists) << name << ": " << error.message();
        EXPECT_TRUE(entryExists(dir.file(name))) << name;
    }
    EXPECT_FALSE(rescue.rescued());
    EXPECT_EQ(readBytes(victim), "precious");
}

// A folder in which anyone may rename (0777, not sticky), for what another
// user could do there.
std::string openFolder(const TempDir& dir) {
    const std::string folder = dir.file("open");
    fs::create_directory(folder);
    fs::permissions(folder, fs::perms::all);
    return folder;
}

// Made at the path (the permission bits capped at the input's, if any), or
// the test fails.
template <typename Output>
Output made(const std::string& path, const std::string& input = {}) {
    std::error_code error;
    Output output = Output::create(path, error, input);
    EXPECT_FALSE(error) << path << ": " << error.message();
    return output;
}

void encode(const std::string& encoderPath, const std::string& bytes) {
    const std::string command = "/bin/sh -c 'printf " + bytes + " > \"$1\"' sh '" + encoderPath + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
}

// Another user swaps the working name for a link to the victim's file once it
// is made: the encoder, a child writing by the name it was handed, still
// reaches Mirvane's file, the final name is given to that file, and nothing
// follows or removes the link.
TEST(WorkingFile, ALinkPlantedAtTheNameRedirectsNothing) {
    for (const bool movedAway : {true, false}) {
        TempDir dir;
        const std::string folder = openFolder(dir);
        const std::string victim = dir.write("victim", "precious");
        const int descriptors = test::openDescriptorCount();
        WorkingFile file = made<WorkingFile>(folder + "/clip.mp4");
        const std::string encoderPath = file.encoderPath();
        movedAway ? fs::rename(file.path(), folder + "/elsewhere.mp4") : void(fs::remove(file.path()));
        fs::create_symlink(victim, file.path());

        encode(encoderPath, "encoded");
        EXPECT_FALSE(file.commit(folder + "/final.mp4")) << movedAway;
        EXPECT_EQ(readBytes(folder + "/final.mp4"), "encoded") << movedAway;
        EXPECT_FALSE(fs::is_symlink(folder + "/final.mp4"));
        EXPECT_EQ(fs::read_symlink(folder + "/clip.mp4"), victim);
        EXPECT_EQ(readBytes(victim), "precious");
        EXPECT_FALSE(fs::exists(fs::symlink_status(encoderPath)));
        EXPECT_EQ(test::openDescriptorCount(), descriptors);
    }
}

// Where only this user may rename, the encoder (and the log) get the very
// name the user sees; elsewhere a name nothing in that folder can redirect
// (an open folder of its own is the planted-link test's).
TEST(WorkingFile, TheEncoderGetsTheWorkingNameOnlyWhereNoOneElseMayRename) {
    TempDir dir;
    fs::permissions(dir.path(), fs::perms::owner_all);
    const std::string open = openFolder(dir);
    const std::string sticky = dir.file("sticky");
    fs::create_directory(sticky);
    fs::permissions(sticky, fs::perms::all | fs::perms::sticky_bit);
    const struct {
        std::string path;
        bool named;
    } cases[] = {{dir.file("clip.mp4"), true}, {sticky + "/clip.mp4", true}, {open + "/../clip2.mp4", false}};
    for (const auto& c : cases) {
        const WorkingFile file = made<WorkingFile>(c.path);
        EXPECT_EQ(file.encoderPath() == c.path, c.named) << c.path << " -> " << file.encoderPath();
        EXPECT_TRUE(file.encoderPath().ends_with(".mp4")) << file.encoderPath();
    }
}

// The output of a private input, made in a folder others can read, is no
// more readable than the input, and never executable.
TEST(WorkingFile, AnOutputIsNeverMoreReadableThanItsInput) {
    const mode_t mask = ::umask(022);
    const std::pair<fs::perms, fs::perms> cases[] = {{fs::perms(0640), fs::perms(0640)},
                                                     {fs::perms(0755), fs::perms(0644)},
                                                     {fs::perms(0400), fs::perms(0400)}};
    for (const auto& [input, output] : cases) {
        TempDir dir;
        fs::permissions(dir.write("secret.mkv", "private"), input);
        fs::create_symlink(dir.file("secret.mkv"), dir.file("link.mkv"));
        WorkingFile file = made<WorkingFile>(dir.file("out (変換中).mp4"), dir.file("link.mkv"));
        WorkingFolder folder = made<WorkingFolder>(dir.file("out (変換中)"), dir.file("link.mkv"));
        encode(file.encoderPath(), "bytes");
        encode(folder.encoderPath("out_001.png"), "bytes");
        ASSERT_FALSE(file.commit(dir.file("out.mp4")));
        std::vector<std::string> moved;
        std::string taken;
        ASSERT_FALSE(folder.commit(moved, taken));
        for (const char* name : {"out.mp4", "out_001.png"})
            EXPECT_EQ(fs::status(dir.file(name)).permissions(), output)
                << name << " from " << std::oct << static_cast<int>(input);
    }
    ::umask(mask);
}

// Another user renames the folder away while the encoder writes: the files
// still land in it, and move from it. One discarded goes with what it held.
TEST(WorkingFolder, ARenamedFolderStillReceivesTheFiles) {
    TempDir dir;
    const std::string folderPath = openFolder(dir);
    WorkingFolder folder = made<WorkingFolder>(folderPath + "/clip (変換中)");
    // Renamed away by another user, and a folder of theirs put at its name.
    fs::rename(folderPath + "/clip (変換中)", folderPath + "/moved");
    fs::create_directory(folderPath + "/clip (変換中)");
    for (const char* name : {"clip.m3u8", "clip0.ts", "clip1.ts"}) encode(folder.encoderPath(name), name);
    std::vector<std::string> moved;
    std::string taken;
    EXPECT_FALSE(folder.commit(moved, taken));
    EXPECT_EQ(moved.size(), 3u);
    EXPECT_EQ(readBytes(folderPath + "/clip1.ts"), "clip1.ts");
    EXPECT_TRUE(fs::is_empty(folderPath + "/clip (変換中)"));

    // Discarded: gone with what it held.
    WorkingFolder dropped = made<WorkingFolder>(folderPath + "/dropped");
    encode(dropped.encoderPath("a.png"), "a");
    dropped.discard();
    EXPECT_FALSE(fs::exists(folderPath + "/dropped"));
}

// A run killed in mid-job (kill -9) leaves its link folder; the next run
// that makes one removes it, and never a live run's or someone else's.
TEST(WorkingFile, LinkFoldersOfEndedRunsAreSwept) {
    TempDir dir;
    const pid_t ended = ::fork();
    if (ended == 0) ::_exit(0);
    ::waitpid(ended, nullptr, 0);
    // The folder, the run whose file its link reaches, its bits, whether it goes.
    const std::tuple<std::string, pid_t, int, bool> cases[] = {
        {"tmp/mirvane-output-dead01", ended, 0700, true},
        {"tmp/mirvane-output-live01", ::getpid(), 0700, false},
        {"tmp/mirvane-output-open01", ended, 0740, false}};
    for (const auto& [folder, run, bits, swept] : cases) {
        fs::create_directories(dir.file(folder));
        fs::create_symlink("/proc/" + std::to_string(run) + "/fd/0", dir.file(folder + "/output.mp4"));
        fs::permissions(dir.file(folder), fs::perms(bits));
    }
    ::setenv("TMPDIR", dir.file("tmp").c_str(), 1);
    const WorkingFile file = made<WorkingFile>(openFolder(dir) + "/clip.mp4");
    ::unsetenv("TMPDIR");
    ASSERT_TRUE(file.encoderPath().starts_with(dir.file("tmp"))) << file.encoderPath();
    for (const auto& [folder, run, bits, swept] : cases)
        EXPECT_NE(fs::exists(dir.file(folder)), swept) << folder;
}

TEST(InputKind, OnlyARegularFileOrALinkToOneIsAnInput) {
    TempDir dir;
    const std::string file = dir.write("clip.mkv", "x");
    fs::create_symlink(file, dir.file("link.mkv"));
    test::makeFifo(dir.file("fifo.mkv"));
    fs::create_directory(dir.file("folder.mkv"));
    const struct {
        std::string path;
        InputKind kind;
    } cases[] = {{file, InputKind::File},
                 {dir.file("link.mkv"), InputKind::File},
                 {dir.file("fifo.mkv"), InputKind::Other},
                 {dir.file("folder.mkv"), InputKind::Other},
                 {"/dev/null", InputKind::Other},
                 {dir.file("missing.mkv"), InputKind::Missing}};
    for (const auto& c : cases) EXPECT_EQ(inputKind(c.path), c.kind) << c.path;
}

}  // namespace
}  // namespace mirvane::platform
