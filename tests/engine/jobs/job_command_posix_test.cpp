// Output names and the script beside POSIX-only directory entries.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "engine/jobs/job_command.h"
#include "engine/platform/files.h"
#include "support/special_files.h"
#include "support/temp_dir.h"

namespace mirvane {
namespace {

// The encoder would write through a link, block on a FIFO, or fail on a
// socket: any entry but a folder takes the name, as a file does.
TEST(MakeOutputPath, AnyEntryTakesTheName) {
    struct Row {
        const char* name;
        void (*make)(const std::string& path);
        bool taken;
    };
    const Row rows[] = {
        {"regular file", [](const std::string& path) { std::ofstream(path) << "x"; }, true},
        {"dangling link", [](const std::string& path) { std::filesystem::create_symlink("/nowhere", path); },
         true},
        {"link to a device",
         [](const std::string& path) { std::filesystem::create_symlink("/dev/null", path); }, true},
        {"FIFO", test::makeFifo, true},
        {"socket", test::makeSocketEntry, true},
        {"folder", [](const std::string& path) { std::filesystem::create_directory(path); }, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        row.make(dir.file("clip.mp4"));
        EXPECT_EQ(MakeOutputPath(dir.write("clip.avi", "x"), ".mp4", platform::entryExists, PathStyle::Posix),
                  dir.file(row.taken ? "clip.mp4.mp4" : "clip.mp4"));
    }
}

TEST(MakeAvsScript, AFifoAtTheScriptPathFailsWithoutBlocking) {
    TempDir dir;
    const AppPaths paths = AppPaths::fromExecutable(dir.file("Mirvane"), PathStyle::Posix);
    test::makeFifo(paths.scriptFile);
    test::FifoRescue rescue(paths.scriptFile);
    std::string scriptPath = "unchanged";
    const std::error_code error = MakeAvsScript(paths, "/v/a.avi", "25", scriptPath);
    EXPECT_FALSE(rescue.rescued()) << "the script's creation blocked";
    EXPECT_TRUE(error);
    EXPECT_EQ(scriptPath, "unchanged");
}

}  // namespace
}  // namespace mirvane
