// The user's folders and the folder calls on Windows.

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "engine/platform/user_folders.h"
#include "support/temp_dir.h"

namespace mirvane::platform {
namespace {

namespace fs = std::filesystem;

fs::path native(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

// Settings roam with the user, state stays on the machine: two folders of
// the user's own, named without a trailing separator.
TEST(UserFolders, AreTheUsersRoamingAndLocalApplicationData) {
    const UserFolders folders = userFolders();
    for (const std::string& folder : {folders.configHome, folders.stateHome}) {
        SCOPED_TRACE(folder);
        EXPECT_TRUE(native(folder).is_absolute());
        EXPECT_TRUE(fs::is_directory(native(folder)));
        EXPECT_NE(folder.back(), '\\');
    }
    EXPECT_NE(folders.configHome, folders.stateHome);
}

TEST(IsWritableFolder, OnlyAFolderWhereAFileCanBeMadeAndItLeavesNothing) {
    TempDir dir;
    const std::string file = dir.write("plain.txt", "x");
    fs::create_directory(native(dir.file("映画 🎬")));
    EXPECT_TRUE(isWritableFolder(dir.file("映画 🎬")));
    EXPECT_TRUE(fs::is_empty(native(dir.file("映画 🎬"))));
    EXPECT_FALSE(isWritableFolder(file));
    EXPECT_FALSE(isWritableFolder(dir.file("missing")));
}

TEST(MakePrivateFolder, MakesEveryMissingFolderAndRefusesAFileInTheWay) {
    TempDir dir;
    const std::string nested = dir.file("状態\\mirvane\\logs");
    EXPECT_FALSE(makePrivateFolder(nested));
    EXPECT_TRUE(fs::is_directory(native(nested)));
    EXPECT_FALSE(makePrivateFolder(nested)) << "an existing folder is fine";
    const std::string file = dir.write("taken", "x");
    EXPECT_TRUE(makePrivateFolder(file));
    EXPECT_TRUE(makePrivateFolder(file + "\\below"));
    EXPECT_EQ(privateFolderProblem(nested), "");
    EXPECT_EQ(privateFolderProblem(file), file + " is not a folder but a link or a file.");
}

}  // namespace
}  // namespace mirvane::platform
