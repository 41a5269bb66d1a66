#include "engine/jobs/folder_walk.h"

#include <algorithm>
#include <deque>
#include <memory>

#include "engine/jobs/media_extensions.h"
#include "engine/platform/files.h"
#include "engine/platform/folder_listing.h"
#include "engine/formats/path_style.h"

namespace mirvane {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

unsigned char foldCase(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 'A' && byte <= 'Z' ? static_cast<unsigned char>(byte - 'A' + 'a') : byte;
}

// The run of digits from `from`: its end, and where its value begins (past
// leading zeros, keeping the last digit).
struct DigitRun {
    std::size_t value;
    std::size_t end;
};

DigitRun digitRun(std::string_view text, std::size_t from) {
    std::size_t end = from;
    while (end < text.size() && isDigit(text[end])) ++end;
    std::size_t value = from;
    while (value + 1 < end && text[value] == '0') ++value;
    return {value, end};
}

// Below, at or above zero as a comes before, alike or after b in natural
// order. Runs of any length compare by their digits, never as numbers that
// could overflow.
int naturalCompare(std::string_view a, std::string_view b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            const DigitRun runA = digitRun(a, i);
            const DigitRun runB = digitRun(b, j);
            const std::size_t lengthA = runA.end - runA.value;
            const std::size_t lengthB = runB.end - runB.value;
            if (lengthA != lengthB) return lengthA < lengthB ? -1 : 1;
            if (const int digits = a.substr(runA.value, lengthA).compare(b.substr(runB.value, lengthB)))
                return digits;
            i = runA.end;
            j = runB.end;
        } else {
            if (foldCase(a[i]) != foldCase(b[j])) return foldCase(a[i]) < foldCase(b[j]) ? -1 : 1;
            ++i;
            ++j;
        }
    }
    return (i < a.size()) - (j < b.size());
}

std::string joinPath(const std::string& folder, const std::string& name) {
    const char separator = pathSeparator(kNativePathStyle);
    if (folder.empty() || folder.back() == separator || folder.back() == '/') return folder + name;
    return folder + separator + name;
}

// Keeps only the first `count` names in natural order (unordered).
void keepFirst(std::vector<std::string>& names, std::size_t count) {
    if (names.size() <= count) return;
    std::nth_element(names.begin(), names.begin() + static_cast<std::ptrdiff_t>(count), names.end(),
                     NaturalLess);
    names.resize(count);
}

// Where the walk stands: what it may still add and open, and what it left out.
struct Walk {
    const FolderWalkBounds& bounds;
    const FolderListed& listed;
    DroppedFiles& dropped;
    std::size_t room;
    std::size_t foldersLeft;
};

// A subfolder still to walk: opened through its parent, which stays open
// until its last waiting subfolder has been opened.
struct PendingFolder {
    std::shared_ptr<const platform::OpenFolder> parent;
    std::string name;
    std::string path;
    std::size_t depth;
};

// Lists one open folder: adds its files while room lasts (the first file past
// it sets cut), and returns its subfolders' names in natural order.
std::vector<std::string> listOne(const platform::OpenFolder& folder, const std::string& path, Walk& walk) {
    std::vector<std::string> files;
    std::vector<std::string> folders;
    // Of a folder's files only the first in order that fit matter, and one
    // more that says the rest was cut: a folder of millions holds no more
    // than twice that many at a time.
    const std::size_t wanted = walk.room + 1;
    // Of its subfolders likewise: no more can be opened than the bound leaves.
    const std::size_t wantedFolders = walk.foldersLeft + 1;
    // A folder that cannot be read, or no longer can, adds what it gave.
    (void)folder.list([&](const platform::FolderEntry& entry) {
        if (entry.hidden) return;
        if (entry.kind == platform::EntryKind::Folder) {
            folders.push_back(entry.name);
            if (folders.size() >= 2 * wantedFolders) keepFirst(folders, wantedFolders);
        } else if (entry.kind == platform::EntryKind::File && HasMediaExtension(entry.name)) {
            files.push_back(entry.name);
            if (files.size() >= 2 * wanted) keepFirst(files, wanted);
        }
    });
    keepFirst(files, wanted);
    std::sort(files.begin(), files.end(), NaturalLess);
    if (files.size() == wanted) {
        files.pop_back();
        walk.dropped.cut = true;
    }
    for (const std::string& name : files) walk.dropped.files.push_back(joinPath(path, name));
    walk.room -= files.size();
    keepFirst(folders, wantedFolders);
    std::sort(folders.begin(), folders.end(), NaturalLess);
    if (folders.size() == wantedFolders) {
        folders.pop_back();
        walk.dropped.foldersCut = true;
    }
    return folders;
}

// Adds the walk of one open folder. The folders still to walk wait on a
// stack, never in nested calls, so no depth of folders can exhaust the
// program's stack.
void walkFolder(platform::OpenFolder top, const std::string& path, Walk& walk) {
    std::deque<PendingFolder> pending;
    auto walkOne = [&](platform::OpenFolder folder, const std::string& folderPath, std::size_t depth) {
        const std::vector<std::string> folders = listOne(folder, folderPath, walk);
        if (walk.listed) walk.listed(folderPath);
        if (walk.dropped.cut || folders.empty()) return;
        if (depth == walk.bounds.depth) {
            walk.dropped.foldersCut = true;
            return;
        }
        const auto parent = std::make_shared<const platform::OpenFolder>(std::move(folder));
        for (auto name = folders.rbegin(); name != folders.rend(); ++name)
            pending.push_back({parent, *name, joinPath(folderPath, *name), depth + 1});
        // The last to wait are opened first: those below them never will be.
        while (pending.size() > walk.foldersLeft) {
            pending.pop_front();
            walk.dropped.foldersCut = true;
        }
    };
    --walk.foldersLeft;
    walkOne(std::move(top), path, 0);
    while (!pending.empty() && !walk.dropped.cut) {
        if (walk.foldersLeft == 0) {
            walk.dropped.foldersCut = true;
            return;
        }
        PendingFolder next = std::move(pending.back());
        pending.pop_back();
        std::error_code error;
        platform::OpenFolder folder = next.parent->openSubfolder(next.name, error);
        next.parent.reset();
        // A subfolder that is no folder any more (a link put in its place
        // included) or cannot be opened adds nothing.
        if (!folder.isOpen()) continue;
        --walk.foldersLeft;
        walkOne(std::move(folder), next.path, next.depth);
    }
}

}  // namespace

bool NaturalLess(std::string_view a, std::string_view b) {
    const int order = naturalCompare(a, b);
    return order != 0 ? order < 0 : a < b;
}

DroppedFiles ExpandFolders(const std::vector<std::string>& paths, const FolderWalkBounds& bounds,
                           const FolderListed& listed) {
    DroppedFiles dropped;
    Walk walk{bounds, listed, dropped, bounds.files, bounds.folders};
    for (const std::string& path : paths) {
        std::error_code error;
        platform::OpenFolder folder = platform::OpenFolder::open(path, error);
        if (!folder.isOpen()) {
            // A folder this process may not open adds nothing; anything else
            // is the user's own choice of file.
            if (!platform::isFolder(path)) dropped.files.push_back(path);
        } else if (walk.foldersLeft == 0 && !dropped.cut) {
            dropped.foldersCut = true;
        } else if (!dropped.cut) {
            walkFolder(std::move(folder), path, walk);
        }
    }
    return dropped;
}

}  // namespace mirvane
