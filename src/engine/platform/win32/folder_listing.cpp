// One folder's entries, for the walk of a dropped folder, through the wide
// functions so that every name the engine can hold comes through.

#include <memory>

#include "engine/platform/files.h"
#include "engine/platform/win32/win32_internal.h"

namespace mirvane::platform {

using win32::lastError;
using win32::toUtf8;
using win32::toWide;

namespace {

struct FindCloser {
    void operator()(HANDLE find) const { FindClose(find); }
};

// A reparse point that stands for another name (a junction, a mount point, a
// symbolic link) has this bit in its tag; one that keeps its own content
// (a cloud file's placeholder, deduplicated data) has not.
constexpr DWORD kNameSurrogateTag = 0x20000000;

EntryKind kindOf(const WIN32_FIND_DATAW& found) {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return EntryKind::File;
    const bool surrogate = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
                           (found.dwReserved0 & kNameSurrogateTag) != 0;
    return surrogate ? EntryKind::Link : EntryKind::Folder;
}

}  // namespace

bool isFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(toWide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::error_code listFolder(const std::string& folder, const std::function<void(const FolderEntry&)>& take) {
    std::wstring pattern = toWide(folder);
    if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/') pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW found{};
    HANDLE first = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                                    FIND_FIRST_EX_LARGE_FETCH);
    if (first == INVALID_HANDLE_VALUE) return lastError();
    const std::unique_ptr<void, FindCloser> find(first);
    FolderEntry entry;
    do {
        const std::wstring_view name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        entry.name = toUtf8(name);
        // A lone surrogate has no UTF-8 form: the name would come back as
        // another one, which must never be handed on.
        if (toWide(entry.name) != name) continue;
        entry.kind = kindOf(found);
        entry.hidden = (found.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
        take(entry);
    } while (FindNextFileW(find.get(), &found));
    const std::error_code error = lastError();
    return error.value() == ERROR_NO_MORE_FILES ? std::error_code() : error;
}

}  // namespace mirvane::platform
