#pragma once
// What a dropped folder stands for: the video and audio files in it and in
// its subfolders, in natural name order. Each folder gives its own files
// first, then each subfolder's in turn: a folder's files stay together, and
// what lies deeper (extras, samples, a season's discs) comes after what the
// user sees on opening the folder. Hidden entries are left out, a link to a
// folder is never entered (a walk cannot loop), and names keep their bytes.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace mirvane {

// The most files the folders of one drop, command line or hand-over add.
inline constexpr std::size_t kMaxFolderFiles = 100'000;
// The most folders they open, the dropped ones included: a tree of empty
// folders costs the walk as much as one of files, and holds nothing to add.
inline constexpr std::size_t kMaxFolderFolders = 10'000;
// How deep below a dropped folder the walk goes: each level holds its folder
// open while the walk is below it.
inline constexpr std::size_t kMaxFolderDepth = 100;

struct FolderWalkBounds {
    std::size_t files = kMaxFolderFiles;
    std::size_t folders = kMaxFolderFolders;
    std::size_t depth = kMaxFolderDepth;
};

struct DroppedFiles {
    std::vector<std::string> files;
    // The folders held more files than the bound: the files past it were left out.
    bool cut = false;
    // The folders held more folders than the bound, or deeper ones: those
    // past it were not entered.
    bool foldersCut = false;
};

// Called with a folder's path once it has been listed, before any of its
// subfolders is opened.
using FolderListed = std::function<void(const std::string& folder)>;

// Each path that names a folder (a link to one the user named included)
// replaced by its walk, every other path kept as it is whatever it names;
// within the bounds for all the folders together. A folder or subfolder that
// cannot be read adds nothing. Each subfolder is opened through the folder
// that listed it, never through a link: one swapped for a link while the walk
// runs adds nothing, and the names given are the paths as the user sees them.
DroppedFiles ExpandFolders(const std::vector<std::string>& paths, const FolderWalkBounds& bounds = {},
                           const FolderListed& listed = {});

// Natural name order: runs of digits by their value ("2" before "10"), the
// other bytes one by one, ASCII letters in either case alike; names still
// alike in that order by their bytes, so that the order is always the same.
bool NaturalLess(std::string_view a, std::string_view b);

}  // namespace mirvane
