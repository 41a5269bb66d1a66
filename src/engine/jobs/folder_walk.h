#pragma once
// What a dropped folder stands for: the video and audio files in it and in
// its subfolders, in natural name order. Each folder gives its own files
// first, then each subfolder's in turn: a folder's files stay together, and
// what lies deeper (extras, samples, a season's discs) comes after what the
// user sees on opening the folder. Hidden entries are left out, a link to a
// folder is never entered (a walk cannot loop), and names keep their bytes.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace mirvane {

// The most files the folders of one drop, command line or hand-over add.
inline constexpr std::size_t kMaxFolderFiles = 100'000;

struct DroppedFiles {
    std::vector<std::string> files;
    // The folders held more than the limit: the files past it were left out.
    bool cut = false;
};

// Each path that names a folder (a link to one the user named included)
// replaced by its walk, every other path kept as it is whatever it names; at
// most `limit` files from all the folders together. A folder or subfolder
// that cannot be read adds nothing.
DroppedFiles ExpandFolders(const std::vector<std::string>& paths, std::size_t limit = kMaxFolderFiles);

// Natural name order: runs of digits by their value ("2" before "10"), the
// other bytes one by one, ASCII letters in either case alike; names still
// alike in that order by their bytes, so that the order is always the same.
bool NaturalLess(std::string_view a, std::string_view b);

}  // namespace mirvane
