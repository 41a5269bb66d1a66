// A file's whole content replaced through a temporary beside it, on both systems.

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>

#include "engine/platform/files.h"
#include "support/temp_dir.h"

namespace mirvane::platform {
namespace {

// Also over what a crash left at the temporary's name (path + ".new").
TEST(ReplaceFileContents, MakesOrReplacesTheFileAndLeavesNoTemporary) {
    TempDir dir;
    const std::string path = dir.file("ジョブ.jobs");
    for (const char* content : {"first", "", "second"}) {
        dir.write("ジョブ.jobs.new", "half of an earlier write");
        ASSERT_FALSE(replaceFileContents(path, content));
        std::string read;
        EXPECT_FALSE(readFile(path, 100, read));
        EXPECT_EQ(read, content);
        EXPECT_FALSE(entryExists(path + ".new"));
    }
}

TEST(ReplaceFileContents, AFailureLeavesNoTemporary) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("folder"));
    EXPECT_TRUE(replaceFileContents(dir.file("folder"), "new"));
    EXPECT_TRUE(replaceFileContents(dir.file("missing/a.jobs"), "new"));
    using Entries = std::filesystem::directory_iterator;
    EXPECT_EQ(std::distance(Entries(dir.path()), Entries()), 1);
}

}  // namespace
}  // namespace mirvane::platform
