// One folder's entries, for the walk of a dropped folder, read through a
// handle the walk holds. A subfolder is opened relative to that handle
// (NtCreateFile with the folder as its root, the system's own openat), its
// reparse point itself rather than what it points to, and refused when that
// is a link-like one. The folders are held without delete sharing, so none
// of them can be renamed or removed while the walk is in or below it.

#include <winternl.h>

#include <vector>

#include "engine/platform/folder_listing.h"
#include "engine/platform/win32/win32_internal.h"

namespace mirvane::platform {

using win32::Handle;
using win32::lastError;
using win32::toUtf8;
using win32::toWide;
using win32::windowsError;

namespace {

// A reparse point that stands for another name (a junction, a mount point, a
// symbolic link) has this bit in its tag; one that keeps its own content
// (a cloud file's placeholder, deduplicated data) has not.
constexpr DWORD kNameSurrogateTag = 0x20000000;

constexpr ACCESS_MASK kFolderAccess = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
constexpr ULONG kFolderSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;

EntryKind kindOf(const FILE_ID_BOTH_DIR_INFO& found) {
    if ((found.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return EntryKind::File;
    // For a reparse point the listing gives its tag in place of the size of
    // its extended attributes.
    const bool surrogate =
        (found.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && (found.EaSize & kNameSurrogateTag) != 0;
    return surrogate ? EntryKind::Link : EntryKind::Folder;
}

bool isLinkLike(HANDLE handle, std::error_code& error) {
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag)) {
        error = lastError();
        return true;
    }
    if ((tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        error = std::make_error_code(std::errc::not_a_directory);
        return true;
    }
    return (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
           (tag.ReparseTag & kNameSurrogateTag) != 0;
}

bool isReparsePoint(HANDLE handle) {
    FILE_ATTRIBUTE_TAG_INFO tag{};
    return GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag) &&
           (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// The entry `name` of the folder `root`, opened as a folder; with
// openReparsePoint the reparse point itself, never what it points to.
Handle openRelative(HANDLE root, const std::wstring& name, bool openReparsePoint, std::error_code& error) {
    UNICODE_STRING objectName{};
    objectName.Buffer = const_cast<PWSTR>(name.c_str());
    objectName.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    objectName.MaximumLength = objectName.Length;
    OBJECT_ATTRIBUTES attributes{};
    InitializeObjectAttributes(&attributes, &objectName, OBJ_CASE_INSENSITIVE, root, nullptr);
    IO_STATUS_BLOCK status{};
    HANDLE opened = nullptr;
    const ULONG options = FILE_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_FOR_BACKUP_INTENT |
                          (openReparsePoint ? FILE_OPEN_REPARSE_POINT : 0);
    const NTSTATUS result = NtCreateFile(&opened, kFolderAccess, &attributes, &status, nullptr, 0,
                                         kFolderSharing, FILE_OPEN, options, nullptr, 0);
    if (result < 0) {
        error = windowsError(RtlNtStatusToDosError(result));
        return {};
    }
    return Handle(opened);
}

}  // namespace

struct OpenFolder::Impl {
    Handle handle;
};

OpenFolder::OpenFolder() = default;
OpenFolder::OpenFolder(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}
OpenFolder::OpenFolder(OpenFolder&& other) noexcept = default;
OpenFolder& OpenFolder::operator=(OpenFolder&& other) noexcept = default;
OpenFolder::~OpenFolder() = default;

OpenFolder OpenFolder::open(const std::string& path, std::error_code& error) {
    error.clear();
    Handle handle(CreateFileW(toWide(path).c_str(), kFolderAccess, kFolderSharing, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle) {
        error = lastError();
        return {};
    }
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(handle.get(), &information)) {
        error = lastError();
        return {};
    }
    if ((information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        error = std::make_error_code(std::errc::not_a_directory);
        return {};
    }
    return OpenFolder(std::make_unique<Impl>(Impl{std::move(handle)}));
}

OpenFolder OpenFolder::openSubfolder(const std::string& name, std::error_code& error) const {
    error.clear();
    const std::wstring wide = toWide(name);
    if (!m_impl || wide.empty() || wide.find_first_of(L"\\/:") != std::wstring::npos || wide == L"." ||
        wide == L"..") {
        error = std::make_error_code(std::errc::invalid_argument);
        return {};
    }
    Handle handle = openRelative(m_impl->handle.get(), wide, true, error);
    if (!handle) return {};
    if (isLinkLike(handle.get(), error)) {
        if (!error) error = std::make_error_code(std::errc::too_many_symbolic_link_levels);
        return {};
    }
    // A placeholder of a cloud folder is listed through its filter, as the
    // user sees it: opened again the usual way while the first handle, which
    // cannot be renamed away, still holds the name.
    if (isReparsePoint(handle.get())) {
        Handle usual = openRelative(m_impl->handle.get(), wide, false, error);
        if (!usual) return {};
        handle = std::move(usual);
    }
    return OpenFolder(std::make_unique<Impl>(Impl{std::move(handle)}));
}

bool OpenFolder::isOpen() const { return m_impl != nullptr; }

std::error_code OpenFolder::list(const std::function<void(const FolderEntry&)>& take) const {
    if (!m_impl) return std::make_error_code(std::errc::bad_file_descriptor);
    // Entries are aligned to 8 bytes within the buffer.
    std::vector<ULONGLONG> buffer(64 * 1024 / sizeof(ULONGLONG));
    const DWORD bufferBytes = static_cast<DWORD>(buffer.size() * sizeof(ULONGLONG));
    FolderEntry entry;
    for (FILE_INFO_BY_HANDLE_CLASS kind = FileIdBothDirectoryRestartInfo;; kind = FileIdBothDirectoryInfo) {
        if (!GetFileInformationByHandleEx(m_impl->handle.get(), kind, buffer.data(), bufferBytes)) {
            const std::error_code error = lastError();
            return error.value() == ERROR_NO_MORE_FILES ? std::error_code() : error;
        }
        const auto* bytes = reinterpret_cast<const unsigned char*>(buffer.data());
        for (DWORD offset = 0;;) {
            const auto& found = *reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(bytes + offset);
            const std::wstring_view name(found.FileName, found.FileNameLength / sizeof(wchar_t));
            if (name != L"." && name != L"..") {
                entry.name = toUtf8(name);
                // A lone surrogate has no UTF-8 form: the name would come
                // back as another one, which must never be handed on.
                if (toWide(entry.name) == name) {
                    entry.kind = kindOf(found);
                    entry.hidden =
                        (found.FileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
                    take(entry);
                }
            }
            if (found.NextEntryOffset == 0) break;
            offset += found.NextEntryOffset;
        }
    }
}

bool isFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(toWide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace mirvane::platform
