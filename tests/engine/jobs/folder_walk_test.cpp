#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "engine/jobs/folder_walk.h"
#include "engine/platform/path_style.h"
#include "support/system_facts.h"
#include "support/temp_dir.h"

namespace mirvane {
namespace {

using Names = std::vector<std::string>;

// The dropped folder's entries: "a/b.mkv" a file (its folders made with it), "l -> a" a link
// to a folder, "x (hidden)" an entry hidden the system's way, "a (unreadable)" a folder this
// process may not list. A row whose entries this system cannot make is skipped.
struct WalkCase {
    const char* name;
    Names entries;
    Names added;  // '/' between names
    std::size_t limit = kMaxFolderFiles;
    bool cut = false;
};

class FolderWalk : public testing::TestWithParam<WalkCase> {};

TEST_P(FolderWalk, AddsTheMediaFilesInNaturalOrder) {
    const WalkCase& c = GetParam();
    const TempDir dir;
    const auto path = [&](const std::string& name) {
        std::string inDrop = "drop/" + name;
        std::replace(inDrop.begin(), inDrop.end(), '/', platform::pathSeparator(platform::kNativePathStyle));
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
        } else if (!std::filesystem::exists(entryAt(name))) {
            dir.write("drop/" + name, "");
        }
        if (how == "(hidden)") test::hide(path(name));
        if (how != "(unreadable)") continue;
        if (!test::makeUnreadable(path(name))) GTEST_SKIP() << "this process reads every folder";
        unreadable = path(name);
    }
    const DroppedFiles dropped = ExpandFolders({dir.file("drop")}, c.limit);
    if (!unreadable.empty()) std::filesystem::permissions(unreadable, std::filesystem::perms::owner_all);

    Names expected;
    for (const std::string& name : c.added) expected.push_back(path(name));
    EXPECT_EQ(dropped.files, expected);
    EXPECT_EQ(dropped.cut, c.cut);
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
    };
}

INSTANTIATE_TEST_SUITE_P(Trees, FolderWalk, testing::ValuesIn(walkCases()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace mirvane
