// The encoder's output file on POSIX systems: links at the working name, also
// one planted after the file was made, and the encoder as a child process.

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/platform/files.h"
#include "engine/platform/output_file.h"
#include "support/descriptor_count.h"
#include "support/special_files.h"
#include "support/temp_dir.h"

namespace mirvane::platform {
namespace {

namespace fs = std::filesystem;

TEST(WorkingFile, NeitherCreateNorLeftoverRemovalTouchesWhatIsThere) {
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
        EXPECT_TRUE(removeLeftoverWorkingFile(dir.file(name))) << name;
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
        std::error_code error;
        WorkingFile file = WorkingFile::create(folder + "/clip.mp4", error);
        ASSERT_FALSE(error) << error.message();
        const std::string encoderPath = file.encoderPath();
        if (movedAway) {
            fs::rename(file.path(), folder + "/elsewhere.mp4");
        } else {
            fs::remove(file.path());
        }
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
// name the user sees; elsewhere a name nothing in that folder can redirect.
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
    } cases[] = {{dir.file("clip.mp4"), true},
                 {sticky + "/clip.mp4", true},
                 {open + "/clip.mp4", false},
                 {open + "/../clip2.mp4", false}};
    for (const auto& c : cases) {
        std::error_code error;
        WorkingFile file = WorkingFile::create(c.path, error);
        ASSERT_FALSE(error) << c.path << ": " << error.message();
        EXPECT_EQ(file.encoderPath() == c.path, c.named) << c.path << " -> " << file.encoderPath();
        EXPECT_TRUE(file.encoderPath().ends_with(".mp4")) << file.encoderPath();
    }
}

// The output of a private input, made in a folder others can read, is no
// more readable than the input; a file made alone keeps the usual bits.
TEST(WorkingFile, AnOutputIsNeverMoreReadableThanItsInput) {
    TempDir dir;
    const mode_t mask = ::umask(022);
    const struct {
        fs::perms input;
        fs::perms output;
    } cases[] = {{fs::perms(0600), fs::perms(0600)},
                 {fs::perms(0640), fs::perms(0640)},
                 {fs::perms(0755), fs::perms(0644)},
                 {fs::perms(0400), fs::perms(0400)}};
    for (const auto& c : cases) {
        const std::string input = dir.write("secret.mkv", "private");
        fs::permissions(input, c.input);
        fs::create_symlink(input, dir.file("link.mkv"));
        std::error_code error;
        WorkingFile file = WorkingFile::create(dir.file("out (変換中).mp4"), error, dir.file("link.mkv"));
        ASSERT_FALSE(error) << error.message();
        WorkingFolder folder = WorkingFolder::create(dir.file("out (変換中)"), error, dir.file("link.mkv"));
        ASSERT_FALSE(error) << error.message();
        encode(file.encoderPath(), "bytes");
        encode(folder.encoderPath("out_001.png"), "bytes");
        ASSERT_FALSE(file.commit(dir.file("out.mp4")));
        std::vector<std::string> moved;
        std::string taken;
        ASSERT_FALSE(folder.commit(moved, taken));
        for (const char* name : {"out.mp4", "out_001.png"}) {
            EXPECT_EQ(fs::status(dir.file(name)).permissions(), c.output)
                << name << " from " << std::oct << static_cast<int>(c.input);
            fs::remove(dir.file(name));
        }
        fs::remove(dir.file("link.mkv"));
        fs::remove(input);
    }
    ::umask(mask);
}

// Another user renames the folder away while the encoder writes: the files
// still land in it, and move from it. What is kept is never removed afterwards.
TEST(WorkingFolder, ARenamedFolderStillReceivesTheFiles) {
    TempDir dir;
    const std::string folderPath = openFolder(dir);
    std::error_code error;
    WorkingFolder folder = WorkingFolder::create(folderPath + "/clip (変換中)", error);
    ASSERT_FALSE(error) << error.message();
    // Renamed away by another user: the encoder still writes into it.
    fs::rename(folderPath + "/clip (変換中)", folderPath + "/moved");
    fs::create_directory(folderPath + "/clip (変換中)");
    for (const char* name : {"clip.m3u8", "clip0.ts", "clip1.ts"}) encode(folder.encoderPath(name), name);
    EXPECT_TRUE(fs::is_empty(folderPath + "/clip (変換中)"));
    fs::remove(folderPath + "/clip (変換中)");
    fs::rename(folderPath + "/moved", folderPath + "/clip (変換中)");
    std::vector<std::string> moved;
    std::string taken;
    EXPECT_FALSE(folder.commit(moved, taken));
    EXPECT_EQ(moved.size(), 3u);
    EXPECT_EQ(readBytes(folderPath + "/clip1.ts"), "clip1.ts");
    EXPECT_FALSE(fs::exists(folderPath + "/clip (変換中)"));

    // Kept: it outlives the object.
    WorkingFolder keptFolder = WorkingFolder::create(folderPath + "/kept", error);
    encode(keptFolder.encoderPath("a.png"), "a");
    keptFolder.keep();
    EXPECT_EQ(readBytes(folderPath + "/kept/a.png"), "a");
    // Discarded: gone with what it held.
    WorkingFolder dropped = WorkingFolder::create(folderPath + "/dropped", error);
    encode(dropped.encoderPath("a.png"), "a");
    dropped.discard();
    EXPECT_FALSE(fs::exists(folderPath + "/dropped"));
}

// A run killed in mid-job (kill -9) leaves its link folder; the next run
// that makes one removes it, and never a live run's or someone else's.
TEST(WorkingFile, LinkFoldersOfEndedRunsAreSwept) {
    TempDir dir;
    const std::string temporary = dir.file("tmp");
    fs::create_directory(temporary);
    ::setenv("TMPDIR", temporary.c_str(), 1);
    const pid_t ended = ::fork();
    if (ended == 0) ::_exit(0);
    int status = 0;
    ::waitpid(ended, &status, 0);
    auto linkFolder = [&](const char* name, const std::string& target, fs::perms perms) {
        const std::string folder = temporary + "/" + name;
        fs::create_directory(folder);
        fs::create_symlink(target, folder + "/output.mp4");
        fs::permissions(folder, perms);
        return folder;
    };
    const std::string dead = linkFolder("mirvane-output-dead01", "/proc/" + std::to_string(ended) + "/fd/15",
                                        fs::perms::owner_all);
    const std::string live = linkFolder(
        "mirvane-output-live01", "/proc/" + std::to_string(::getpid()) + "/fd/0", fs::perms::owner_all);
    const std::string shared =
        linkFolder("mirvane-output-open01", "/proc/" + std::to_string(ended) + "/fd/15",
                   fs::perms::owner_all | fs::perms::group_read);
    std::error_code error;
    WorkingFile file = WorkingFile::create(openFolder(dir) + "/clip.mp4", error);
    ::unsetenv("TMPDIR");
    ASSERT_FALSE(error) << error.message();
    EXPECT_TRUE(file.encoderPath().starts_with(temporary)) << file.encoderPath();
    EXPECT_FALSE(fs::exists(dead));
    EXPECT_TRUE(fs::exists(live));
    EXPECT_TRUE(fs::exists(shared));
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
