#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string_view>
#include <utility>

#include "engine/jobs/folder_walk.h"
#include "engine/formats/path_style.h"
#include "support/system_facts.h"
#include "support/temp_dir.h"

namespace mirvane {
namespace {

using Names = std::vector<std::string>;

// The dropped folder's entries: "a/b.mkv" a file (its folders made with it), "a/" an empty
// folder, "l -> a" a link to a folder, "x (hidden)" an entry hidden the system's way,
// "a (unreadable)" a folder this process may not list. A row whose entries this system cannot
// make is skipped.
struct WalkCase {
    const char* name;
    Names entries;
    Names added;  // '/' between names
    std::size_t limit = kMaxFolderFiles;
    bool cut = false;
    std::size_t folders = kMaxFolderFolders;
    std::size_t depth = kMaxFolderDepth;
    bool foldersCut = false;
};

class FolderWalk : public testing::TestWithParam<WalkCase> {};

TEST_P(FolderWalk, AddsTheMediaFilesInNaturalOrder) {
    const WalkCase& c = GetParam();
    const TempDir dir;
    const auto path = [&](const std::string& name) {
        std::string inDrop = "drop/" + name;
        std::replace(inDrop.begin(), inDrop.end(), '/', pathSeparator(kNativePathStyle));
        return dir.file(inDrop);
    };
    const auto entryAt = [&](const std::string& name) { return std::filesystem::u8path(path(name)); };
    std::string unreadable;
    for (const std::string& entry : c.entries) {
        const std::size_t mark = std::min(entry.find(" -> "), entry.find(" ("));
        const std::string name = entry.substr(0, mark);
        const std::string how = mark == std::string::npos ? "" : entry.substr(mark + 1);
        std::error_code made;
        if (how.starts_with("-> ")) {
            std::filesystem::create_directory_symlink(entryAt(how.substr(3)), entryAt(name), made);
            if (!std::filesystem::is_symlink(entryAt(name), made)) GTEST_SKIP() << "this system made no link";
        } else if (name.ends_with("/")) {
            std::filesystem::create_directories(entryAt(name));
        } else if (!std::filesystem::exists(entryAt(name))) {
            dir.write("drop/" + name, "");
        }
        if (how == "(hidden)") test::hide(path(name));
        if (how != "(unreadable)") continue;
        if (!test::makeUnreadable(path(name))) GTEST_SKIP() << "this process reads every folder";
        unreadable = path(name);
    }
    const DroppedFiles dropped = ExpandFolders({dir.file("drop")}, {c.limit, c.folders, c.depth});
    if (!unreadable.empty()) std::filesystem::permissions(unreadable, std::filesystem::perms::owner_all);

    Names expected;
    for (const std::string& name : c.added) expected.push_back(path(name));
    EXPECT_EQ(dropped.files, expected);
    EXPECT_EQ(dropped.cut, c.cut);
    EXPECT_EQ(dropped.foldersCut, c.foldersCut);
}

std::vector<WalkCase> walkCases() {
    const Names names = test::namesToKeepExactly();
    return {
        {"OwnFilesFirstThenEachSubfolder",
         {"b/1.mkv", "a/sub/2.mkv", "a/1.mkv", "z.mkv", "a/10.mkv"},
         {"z.mkv", "a/1.mkv", "a/10.mkv", "a/sub/2.mkv", "b/1.mkv"}},
        {"NaturalOrder",
         {"10.mkv", "2.mkv", "1.mkv", "ep 02 part 10.mp4", "ep 2 part 9.mp4", "B.mp3", "a.mp3"},
         {"1.mkv", "2.mkv", "10.mkv", "a.mp3", "B.mp3", "ep 2 part 9.mp4", "ep 02 part 10.mp4"}},
        {"OnlyVideoAndAudioInAnyCase",
         {"CLIP.MKV", "song.Flac", "notes.txt", "mkv", "clip.mkv.txt", "x.m4v", "cover.jpg"},
         {"CLIP.MKV", "song.Flac", "x.m4v"}},
        {"NamesKeptExactly", {names[0], "sub/" + names[1]}, {names[0], "sub/" + names[1]}},
        {"HiddenLeftOut", {"a.mkv (hidden)", "cache/b.mkv", "cache (hidden)", "c.mkv"}, {"c.mkv"}},
        {"LinksToFoldersNotEntered", {"a/1.mkv", "a/loop -> .", "b -> a"}, {"a/1.mkv"}},
        {"UnreadableSubfolderSkipped", {"open/1.mkv", "shut/2.mkv", "shut (unreadable)"}, {"open/1.mkv"}},
        {"BoundCutsTheRest", {"1.mkv", "2.mkv", "sub/3.mkv"}, {"1.mkv", "2.mkv"}, 2, true},
        {"BoundJustHeld", {"1.mkv", "sub/2.mkv", "sub/x.txt"}, {"1.mkv", "sub/2.mkv"}, 2},
        {"BoundInAFullFolder",
         {"9.ts", "3.ts", "7.ts", "1.ts", "8.ts", "2.ts", "6.ts"},
         {"1.ts", "2.ts"},
         2,
         true},
        // A tree of empty folders holds nothing to add, but costs as much to walk as one of files.
        {"EmptyFoldersStopAtTheFolderBound",
         {"1.mkv", "a/", "b/", "c/2.mkv", "d/"},
         {"1.mkv"},
         kMaxFolderFiles,
         false,
         3,
         kMaxFolderDepth,
         true},
        {"FolderBoundJustHeld", {"1.mkv", "a/", "b/2.mkv"}, {"1.mkv", "b/2.mkv"}, kMaxFolderFiles, false, 3},
        {"DeeperFoldersNotEnteredTheRestWalked",
         {"a/b/c/4.mkv", "a/b/3.mkv", "a/2.mkv", "z/5.mkv"},
         {"a/2.mkv", "a/b/3.mkv", "z/5.mkv"},
         kMaxFolderFiles,
         false,
         kMaxFolderFolders,
         2,
         true},
    };
}

INSTANTIATE_TEST_SUITE_P(Trees, FolderWalk, testing::ValuesIn(walkCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// Names natural order holds alike (letters' case, a number's leading zeros)
// come in one order, by their bytes, whichever is asked first: sorting needs
// a strict weak order. Not in the walk's table: a folder on Windows cannot
// hold case twins.
TEST(NaturalLess, OrdersTwinsOneWayByTheirBytes) {
    const std::pair<std::string_view, std::string_view> twins[] = {
        {"A.avi", "a.avi"}, {"clip B.avi", "clip b.avi"}, {"ep 02.mkv", "ep 2.mkv"}};
    for (const auto& [first, second] : twins) {
        SCOPED_TRACE(std::string(first) + " / " + std::string(second));
        EXPECT_TRUE(NaturalLess(first, second));
        EXPECT_FALSE(NaturalLess(second, first));
        EXPECT_FALSE(NaturalLess(first, first));
    }
}

// Another user who may write in the dropped folder swaps a name for a link to
// the victim's own folder between the walk's listing of a folder and its
// descent: the walk never follows it. "moved" is where the swapped folder
// went; the walk's bytes never name the victim's folder.
struct SwapCase {
    const char* name;
    Names entries;        // in the dropped folder, as above
    const char* listed;   // the folder whose listing is followed by the swap ("" the dropped one)
    const char* swapped;  // the name swapped for a link to the victim's folder
    Names added;
};

class FolderSwappedForALink : public testing::TestWithParam<SwapCase> {};

TEST_P(FolderSwappedForALink, AddsNoneOfTheLinkedFoldersFiles) {
    const SwapCase& c = GetParam();
    const TempDir dir;
    const auto path = [&](std::string name) {
        std::replace(name.begin(), name.end(), '/', pathSeparator(kNativePathStyle));
        return dir.file(name);
    };
    for (const std::string& entry : c.entries) dir.write("drop/" + entry, "");
    // The victim's folder holds names the tree has too, so that a followed
    // link would pass for the tree's own files.
    for (const char* entry : {"secret.mkv", "sub/secret.mkv", "a/sub/secret.mkv"})
        dir.write(std::string("victim/") + entry, "");

    const std::string listedAt = path(std::string("drop") + (*c.listed ? "/" : "") + c.listed);
    bool swapped = false;
    const DroppedFiles dropped = ExpandFolders({path("drop")}, {}, [&](const std::string& folder) {
        if (folder != listedAt || swapped) return;
        const std::filesystem::path name = std::filesystem::u8path(path(std::string("drop/") + c.swapped));
        std::error_code error;
        std::filesystem::rename(name, std::filesystem::u8path(path("moved")), error);
        // Windows refuses to rename a folder the walk holds open: nothing to swap.
        if (error) return;
        std::filesystem::create_directory_symlink(std::filesystem::u8path(path("victim")), name, error);
        swapped = !error;
    });
    if (!swapped) GTEST_SKIP() << "no link took the folder's place";

    Names expected;
    for (const std::string& name : c.added) expected.push_back(path("drop/" + name));
    EXPECT_EQ(dropped.files, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Swaps, FolderSwappedForALink,
    testing::Values(
        // Listed as a folder, a link by the time it is opened.
        SwapCase{"SubfolderAfterItsParentsListing", {"1.mkv", "sub/2.mkv"}, "", "sub", {"1.mkv"}},
        // Already open: its own subfolders are still the folder's own, under the names
        // the user sees.
        SwapCase{"FolderWhileItsSubfoldersWait",
                 {"a/1.mkv", "a/sub/2.mkv"},
                 "a",
                 "a",
                 {"a/1.mkv", "a/sub/2.mkv"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace mirvane
