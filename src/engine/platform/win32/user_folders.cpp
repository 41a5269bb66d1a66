// The user's folders for settings and state on Windows, and the folder tests
// and calls that go with them.

#include <shlobj.h>

#include "engine/platform/user_folders.h"
#include "engine/platform/win32/file_security.h"
#include "engine/platform/win32/win32_internal.h"

namespace mirvane::platform {

namespace {

std::string knownFolder(REFKNOWNFOLDERID id) {
    wchar_t* path = nullptr;
    std::string folder;
    if (SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &path) == S_OK) folder = win32::toUtf8(path);
    CoTaskMemFree(path);
    while (!folder.empty() && folder.back() == '\\') folder.pop_back();
    return folder;
}

}  // namespace

// Whether entries can be made there is only known by making one: folder
// permissions on Windows are access lists, and the read-only attribute of a
// folder means nothing to them.
bool isWritableFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(win32::toWide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return false;
    const std::wstring probe =
        win32::toWide(path) + L"\\mirvane-write-test-" + std::to_wstring(GetCurrentProcessId());
    const HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

// A folder made under the user's profile inherits the profile's access list,
// which already closes it to other users.
std::error_code makePrivateFolder(const std::string& path) {
    if (path.empty()) return win32::windowsError(ERROR_PATH_NOT_FOUND);
    const std::wstring wide = win32::toWide(path);
    // Each folder on the way down; a drive ("C:") or a share's root exists.
    for (std::size_t end = wide.find_first_of(L"\\/", 1);; end = wide.find_first_of(L"\\/", end + 1)) {
        const std::wstring folder = wide.substr(0, end);
        const bool shareRoot = folder.starts_with(L"\\\\") && folder.find(L'\\', 2) == std::wstring::npos;
        const bool root = folder.size() <= 2 || folder.back() == L':' || shareRoot;
        if (!root && !CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            return win32::lastError();
        if (end == std::wstring::npos) break;
    }
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return win32::lastError();
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return win32::windowsError(ERROR_DIRECTORY);
    return {};
}

// The user's profile, where these folders lie, is closed to other users by
// its own access list; what is left to refuse is a link (a junction or a
// symbolic link) in the folder's place, which would lead the files wherever
// whoever made it chose.
std::string privateFolderProblem(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(win32::toWide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return "the folder " + path + " cannot be examined (" + win32::lastError().message() + ").";
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        return path + " is not a folder but a link or a file.";
    return {};
}

// A portable copy's folder may lie anywhere: besides being no link, it must
// be the user's own and closed to other users' writing, as read through one
// handle on the folder itself.
std::string ownFolderProblem(const std::string& path) {
    const win32::Handle folder(
        CreateFileW(win32::toWide(path).c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!folder || !GetFileInformationByHandle(folder.get(), &info))
        return "the folder " + path + " cannot be examined (" + win32::lastError().message() + ").";
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        return path + " is not a folder but a link or a file.";
    const win32::Ownership own = win32::ownership(folder.get(), win32::ObjectKind::folder);
    const std::string account = win32::toUtf8(own.account);
    switch (own.verdict) {
        case win32::Ownership::Verdict::own:
            return {};
        case win32::Ownership::Verdict::unreadable:
            return "the folder " + path + " cannot be examined (" + own.error.message() + ").";
        case win32::Ownership::Verdict::anotherOwner:
            return "the folder " + path + " belongs to another user (" + account + ").";
        case win32::Ownership::Verdict::othersMayWrite:
            return "the folder " + path + " is open to other users (" + account + " may write in it).";
    }
    return {};
}

// Settings roam with the user; state (the log, the script) stays on this
// machine.
UserFolders userFolders() {
    return {knownFolder(FOLDERID_RoamingAppData), knownFolder(FOLDERID_LocalAppData)};
}

}  // namespace mirvane::platform
