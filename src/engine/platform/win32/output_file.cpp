// The encoder's output on Windows: made here with CREATE_NEW, never through a
// reparse point, and held open without FILE_SHARE_DELETE while the encoder
// runs. No one can then delete or rename the name, so nothing can be put in
// its place, and the encoder opens it by that name.
//
// The handle held meanwhile has no DELETE access: the C runtime opens files
// without FILE_SHARE_DELETE, so a DELETE access held here would make the
// encoder's own open fail. Renaming and deleting need it, so once the encoder
// has ended the name is opened anew with DELETE access and used only when it
// is still this very file (its volume and file index): the final name is
// only ever given to the file Mirvane made, never to what another put at the
// working name.
//
// An output takes the folder's inherited rights: Windows gives a new file the
// access list its folder passes on, whoever made it, and no one without a
// privilege can make the link that would read another user's private file
// as a job's input, so the input's own rights are not narrowed further.
//
// Several files go into a folder made here, held open without
// FILE_SHARE_DELETE so that it can be neither renamed nor removed while the
// encoder writes into it by its name.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "engine/platform/journal_file.h"
#include "engine/platform/output_file.h"
#include "engine/platform/win32/win32_internal.h"

namespace mirvane::platform {

using win32::Handle;
using win32::lastError;
using win32::toWide;
using win32::windowsError;

namespace {

// Others may read and write, as the encoder must; no one may delete or rename.
constexpr DWORD kShareButDelete = FILE_SHARE_READ | FILE_SHARE_WRITE;

struct FileIdentity {
    DWORD volume = 0;
    DWORD indexHigh = 0;
    DWORD indexLow = 0;
};

bool readIdentity(HANDLE handle, FileIdentity& identity, DWORD& attributes) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle, &info)) return false;
    identity = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
    attributes = info.dwFileAttributes;
    return true;
}

bool isPlainFile(HANDLE handle, DWORD attributes) {
    return GetFileType(handle) == FILE_TYPE_DISK &&
           (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
}

std::error_code deleteByDisposition(HANDLE handle) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    if (!SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition))
        return lastError();
    return {};
}

CommitStepObserver& commitObserver() {
    static CommitStepObserver observer;
    return observer;
}

void step(std::string_view name) {
    if (commitObserver()) commitObserver()(name);
}

std::string joined(const std::string& folder, const std::string& name) {
    return folder.empty() || folder.back() == '\\' || folder.back() == '/' ? folder + name
                                                                           : folder + "\\" + name;
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// The regular files directly in a folder, by name.
std::vector<std::string> filesIn(const std::string& folder, std::uint64_t* bytes = nullptr) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileExW(toWide(joined(folder, "*")).c_str(), FindExInfoBasic, &found,
                                     FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if ((found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0)
            continue;
        names.push_back(win32::toUtf8(found.cFileName));
        if (bytes != nullptr) *bytes += (std::uint64_t(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

bool entryExists(const std::string& path) {
    if (GetFileAttributesW(toWide(path).c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    const DWORD error = GetLastError();
    return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
}

}  // namespace

void observeCommitSteps(CommitStepObserver observer) { commitObserver() = std::move(observer); }

void sweepLeftoverLinkFolders() {}

InputKind inputKind(const std::string& path) {
    // The device namespace (pipes, consoles, volumes) holds no files; a
    // pipe's client open would even connect to it.
    if (path.starts_with("\\\\.\\") || path.starts_with("//./")) return InputKind::Other;
    const std::wstring wide = toWide(path);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? InputKind::Missing
                                                                              : InputKind::Other;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return InputKind::Other;
    // A device name (CON, NUL, COM1) in any folder opens the device.
    Handle file(CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                            nullptr));
    if (!file) return InputKind::Other;
    return GetFileType(file.get()) == FILE_TYPE_DISK ? InputKind::File : InputKind::Other;
}

// NTFS, exFAT and FAT all take 255 UTF-16 units in one name.
bool nameFits(const std::string&, std::string_view name) { return toWide(name).size() <= 255; }

struct WorkingFile::Impl {
    Impl() = default;
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;
    ~Impl() {
        if (!released && takeForDeletion()) deleteByDisposition(handle.get());
    }

    // The file opened anew through its name, only while that name is still
    // this very file.
    Handle reopen(DWORD access, std::error_code& error) const {
        Handle reopened(CreateFileW(toWide(path).c_str(), access | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                    kShareButDelete, nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT,
                                    nullptr));
        FileIdentity found;
        DWORD attributes = 0;
        if (!reopened || !readIdentity(reopened.get(), found, attributes)) {
            error = lastError();
            return {};
        }
        if (!isPlainFile(reopened.get(), attributes) || found.volume != identity.volume ||
            found.indexHigh != identity.indexHigh || found.indexLow != identity.indexLow) {
            error = windowsError(ERROR_FILE_NOT_FOUND);
            return {};
        }
        return reopened;
    }

    // Swaps the handle for one with DELETE access; false, with the reason in
    // error, when the name is no longer this file or still open elsewhere.
    bool takeForDeletion(std::error_code* error = nullptr) {
        std::error_code failure;
        // The name can be opened with DELETE only once no handle without
        // FILE_SHARE_DELETE is left, this one included.
        handle.reset();
        if (Handle taken = reopen(DELETE, failure)) {
            handle = std::move(taken);
            return true;
        }
        // Typically the encoder still has it open: the name is pinned again.
        pinAgain();
        if (error != nullptr) *error = failure;
        return false;
    }

    // Back to a handle without DELETE access, which others may open again.
    void pinAgain() {
        handle.reset();
        std::error_code ignored;
        handle = reopen(GENERIC_READ | GENERIC_WRITE, ignored);
    }

    std::string path;
    Handle handle;
    FileIdentity identity;
    // Once given its final name, or when it cannot be told apart from
    // another, the file is no longer this object's to delete.
    bool released = false;
};

WorkingFile::WorkingFile() = default;
WorkingFile::WorkingFile(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}
WorkingFile::WorkingFile(WorkingFile&& other) noexcept = default;
WorkingFile& WorkingFile::operator=(WorkingFile&& other) noexcept = default;
WorkingFile::~WorkingFile() = default;

WorkingFile WorkingFile::create(const std::string& path, std::error_code& error, const std::string&) {
    const std::wstring wide = toWide(path);
    Handle handle(CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, kShareButDelete, nullptr,
                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!handle) {
        error = lastError();
        // A folder's name may be refused as access denied rather than as taken.
        if (error != std::errc::file_exists && GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES)
            error = windowsError(ERROR_FILE_EXISTS);
        return {};
    }
    // A device name (NUL, CON) opens the device, which exists already.
    if (GetFileType(handle.get()) != FILE_TYPE_DISK) {
        error = windowsError(ERROR_FILE_EXISTS);
        return {};
    }
    auto impl = std::make_unique<Impl>();
    impl->path = path;
    DWORD attributes = 0;
    if (!readIdentity(handle.get(), impl->identity, attributes)) {
        // Without its identity the file cannot be told apart from another:
        // it is left for the next run's clean-up.
        error = lastError();
        impl->released = true;
        return {};
    }
    impl->handle = std::move(handle);
    error.clear();
    return WorkingFile(std::move(impl));
}

bool WorkingFile::isOpen() const { return m_impl != nullptr; }

const std::string& WorkingFile::path() const {
    static const std::string none;
    return m_impl ? m_impl->path : none;
}

// The name itself: the file held without FILE_SHARE_DELETE cannot be moved
// away from it, so it can only reach this file.
const std::string& WorkingFile::encoderPath() const { return path(); }

std::error_code WorkingFile::size(std::uint64_t& bytes) const {
    if (!m_impl || !m_impl->handle) return windowsError(ERROR_INVALID_HANDLE);
    LARGE_INTEGER value{};
    if (!GetFileSizeEx(m_impl->handle.get(), &value)) return lastError();
    bytes = static_cast<std::uint64_t>(value.QuadPart);
    return {};
}

std::error_code WorkingFile::commit(const std::string& finalPath) {
    if (!m_impl) return windowsError(ERROR_INVALID_HANDLE);
    // Without a handle, one was given up after an earlier flush. A power cut
    // after the name is made must find the bytes behind it.
    step("flush");
    if (m_impl->handle && !FlushFileBuffers(m_impl->handle.get())) return lastError();
    std::error_code error;
    if (!m_impl->takeForDeletion(&error)) return error;
    const std::wstring target = toWide(finalPath);
    // The name follows the structure, ending in a NUL that the size counts.
    const std::size_t bytes = offsetof(FILE_RENAME_INFO, FileName) + (target.size() + 1) * sizeof(wchar_t);
    std::vector<std::uint64_t> buffer((bytes + sizeof(std::uint64_t) - 1) / sizeof(std::uint64_t));
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = FALSE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(target.size() * sizeof(wchar_t));
    std::copy(target.c_str(), target.c_str() + target.size() + 1, rename->FileName);
    step("name");
    if (!SetFileInformationByHandle(m_impl->handle.get(), FileRenameInfo, rename,
                                    static_cast<DWORD>(bytes))) {
        error = lastError();
        m_impl->pinAgain();
        return error;
    }
    m_impl->released = true;
    const bool closed = m_impl->handle.reset();
    error = closed ? std::error_code() : lastError();
    m_impl.reset();
    return error;
}

std::error_code WorkingFile::keep() {
    if (!m_impl) return windowsError(ERROR_INVALID_HANDLE);
    if (m_impl->handle && !FlushFileBuffers(m_impl->handle.get())) return lastError();
    m_impl->released = true;
    m_impl.reset();
    return {};
}

void WorkingFile::discard() { m_impl.reset(); }

struct WorkingFolder::Impl {
    Impl() = default;
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;
    ~Impl() {
        if (!handle || kept) return;
        // Only the files in a folder made here, which no one could swap.
        for (const std::string& file : filesIn(path)) DeleteFileW(toWide(joined(path, file)).c_str());
        handle.reset();
        RemoveDirectoryW(toWide(path).c_str());
    }

    std::string path;
    Handle handle;
    bool kept = false;
};

WorkingFolder::WorkingFolder() = default;
WorkingFolder::WorkingFolder(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}
WorkingFolder::WorkingFolder(WorkingFolder&& other) noexcept = default;
WorkingFolder& WorkingFolder::operator=(WorkingFolder&& other) noexcept = default;
WorkingFolder::~WorkingFolder() = default;

WorkingFolder WorkingFolder::create(const std::string& path, std::error_code& error, const std::string&) {
    const std::wstring wide = toWide(path);
    if (!CreateDirectoryW(wide.c_str(), nullptr)) {
        error = lastError();
        if (GetLastError() == ERROR_ALREADY_EXISTS) error = windowsError(ERROR_FILE_EXISTS);
        return {};
    }
    auto impl = std::make_unique<Impl>();
    impl->path = path;
    // Held without FILE_SHARE_DELETE: no one renames or removes it meanwhile.
    impl->handle = Handle(CreateFileW(wide.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                      kShareButDelete, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    FileIdentity identity;
    DWORD attributes = 0;
    if (!impl->handle || !readIdentity(impl->handle.get(), identity, attributes) ||
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        error = impl->handle ? windowsError(ERROR_FILE_EXISTS) : lastError();
        // Not this object's to remove: it may be what another put there.
        impl->handle.reset();
        return {};
    }
    error.clear();
    return WorkingFolder(std::move(impl));
}

bool WorkingFolder::isOpen() const { return m_impl != nullptr; }

const std::string& WorkingFolder::path() const {
    static const std::string none;
    return m_impl ? m_impl->path : none;
}

std::string WorkingFolder::encoderPath(const std::string& fileName) const {
    return m_impl ? joined(m_impl->path, fileName) : std::string();
}

std::error_code WorkingFolder::size(std::uint64_t& bytes) const {
    if (!m_impl) return windowsError(ERROR_INVALID_HANDLE);
    bytes = 0;
    filesIn(m_impl->path, &bytes);
    return {};
}

std::error_code WorkingFolder::commit(std::vector<std::string>& moved, std::string& taken) {
    if (!m_impl) return windowsError(ERROR_INVALID_HANDLE);
    const std::string parent = folderOf(m_impl->path);
    const std::vector<std::string> files = filesIn(m_impl->path);
    if (files.empty()) return windowsError(ERROR_FILE_NOT_FOUND);
    for (const std::string& file : files) {
        if (entryExists(joined(parent, file))) {
            taken = joined(parent, file);
            return windowsError(ERROR_FILE_EXISTS);
        }
    }
    step("flush");
    for (const std::string& file : files) {
        Handle written(CreateFileW(toWide(joined(m_impl->path, file)).c_str(), GENERIC_WRITE, kShareButDelete,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (!written || !FlushFileBuffers(written.get())) return lastError();
    }
    step("name");
    std::vector<std::string> done;
    for (const std::string& file : files) {
        const std::wstring from = toWide(joined(m_impl->path, file));
        const std::wstring to = toWide(joined(parent, file));
        if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH)) {
            done.push_back(file);
            continue;
        }
        const std::error_code error = lastError();
        if (error == std::errc::file_exists) taken = joined(parent, file);
        // All or none: the files moved so far go back.
        for (const std::string& back : done)
            MoveFileExW(toWide(joined(parent, back)).c_str(), toWide(joined(m_impl->path, back)).c_str(),
                        MOVEFILE_WRITE_THROUGH);
        return error;
    }
    for (const std::string& file : files) moved.push_back(joined(parent, file));
    m_impl->handle.reset();
    RemoveDirectoryW(toWide(m_impl->path).c_str());
    m_impl->kept = true;
    m_impl.reset();
    return {};
}

void WorkingFolder::keep() {
    if (!m_impl) return;
    m_impl->kept = true;
    m_impl.reset();
}

void WorkingFolder::discard() { m_impl.reset(); }

std::error_code WorkingFile::identity(FileId& identity) const {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!m_impl || !m_impl->handle) return std::make_error_code(std::errc::bad_file_descriptor);
    if (!GetFileInformationByHandle(m_impl->handle.get(), &info)) return win32::lastError();
    identity = {info.dwVolumeSerialNumber,
                (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
    return {};
}

}  // namespace mirvane::platform
