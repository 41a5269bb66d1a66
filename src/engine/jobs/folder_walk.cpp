#include "engine/jobs/folder_walk.h"

#include <algorithm>

#include "engine/jobs/media_extensions.h"
#include "engine/platform/files.h"
#include "engine/platform/path_style.h"

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
    const char separator = platform::pathSeparator(platform::kNativePathStyle);
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

// Adds the walk of one folder to `dropped` while `room` lasts; the first
// file found past it sets `cut` and ends the walk. The folders still
// to walk wait on a stack, never in nested calls, so no depth of folders can
// exhaust the program's stack.
void walkFolder(const std::string& top, std::size_t& room, DroppedFiles& dropped) {
    std::vector<std::string> pending{top};
    std::vector<std::string> files;
    std::vector<std::string> folders;
    while (!pending.empty()) {
        const std::string folder = std::move(pending.back());
        pending.pop_back();
        files.clear();
        folders.clear();
        // Of a folder's files only the first in order that fit matter, and
        // one more that says the rest was cut: a folder of millions holds
        // no more than twice that many at a time.
        const std::size_t wanted = room + 1;
        // A folder that cannot be read, or no longer can, adds what it gave.
        (void)platform::listFolder(folder, [&](const platform::FolderEntry& entry) {
            if (entry.hidden) return;
            if (entry.kind == platform::EntryKind::Folder) {
                folders.push_back(entry.name);
            } else if (entry.kind == platform::EntryKind::File && HasMediaExtension(entry.name)) {
                files.push_back(entry.name);
                if (files.size() >= 2 * wanted) keepFirst(files, wanted);
            }
        });
        keepFirst(files, wanted);
        std::sort(files.begin(), files.end(), NaturalLess);
        if (files.size() == wanted) {
            files.pop_back();
            dropped.cut = true;
        }
        for (const std::string& name : files) dropped.files.push_back(joinPath(folder, name));
        room -= files.size();
        if (dropped.cut) return;
        std::sort(folders.begin(), folders.end(), NaturalLess);
        for (auto name = folders.rbegin(); name != folders.rend(); ++name)
            pending.push_back(joinPath(folder, *name));
    }
}

}  // namespace

bool NaturalLess(std::string_view a, std::string_view b) {
    const int order = naturalCompare(a, b);
    return order != 0 ? order < 0 : a < b;
}

DroppedFiles ExpandFolders(const std::vector<std::string>& paths, std::size_t limit) {
    DroppedFiles dropped;
    std::size_t room = limit;
    for (const std::string& path : paths) {
        if (!platform::isFolder(path)) {
            dropped.files.push_back(path);
        } else if (!dropped.cut) {
            walkFolder(path, room, dropped);
        }
    }
    return dropped;
}

}  // namespace mirvane
