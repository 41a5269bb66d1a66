// The journal kept between runs, the lock beside it, and the removal of a
// file known by its identity, through handles: each check is made on the
// handle then used, and a removal goes through the handle too.

#include <algorithm>

#include "engine/platform/journal_file.h"
#include "engine/platform/win32/file_security.h"
#include "engine/platform/win32/win32_internal.h"

namespace mirvane::platform {

using win32::Handle;
using win32::lastError;
using win32::toWide;
using win32::windowsError;

namespace {

bool readId(HANDLE handle, FileId& identity, BY_HANDLE_FILE_INFORMATION& info) {
    if (!GetFileInformationByHandle(handle, &info)) return false;
    identity = {info.dwVolumeSerialNumber,
                (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
    return true;
}

// The user's own: a file on a disk, not a folder, not a reparse point (a
// link, a junction), with no other name (another name could be another's
// way in), owned by the user and that no other account may write.
std::error_code ownFileProblem(HANDLE handle) {
    FileId identity;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!readId(handle, identity, info)) return lastError();
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return std::make_error_code(std::errc::is_a_directory);
    if (GetFileType(handle) != FILE_TYPE_DISK) return std::make_error_code(std::errc::invalid_argument);
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 || info.nNumberOfLinks != 1)
        return std::make_error_code(std::errc::permission_denied);
    const win32::Ownership own = win32::ownership(handle, win32::ObjectKind::file);
    if (own.verdict == win32::Ownership::Verdict::unreadable) return own.error;
    if (own.verdict != win32::Ownership::Verdict::own)
        return std::make_error_code(std::errc::permission_denied);
    return {};
}

// Read and write access, shared only for reading: no other copy writes
// while this one holds it. Deleting it stays possible, as a replacement
// takes its name.
constexpr DWORD kJournalAccess = GENERIC_READ | GENERIC_WRITE | DELETE | SYNCHRONIZE;
constexpr DWORD kJournalSharing = FILE_SHARE_READ | FILE_SHARE_DELETE;

Handle openOwn(const std::wstring& path, DWORD access, DWORD sharing, DWORD disposition,
               std::error_code& error) {
    Handle file(CreateFileW(path.c_str(), access, sharing, nullptr, disposition,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) {
        error = lastError();
        return {};
    }
    error = ownFileProblem(file.get());
    if (error) return {};
    return file;
}

std::error_code writeAll(HANDLE handle, std::string_view data) {
    LARGE_INTEGER end{};
    if (!SetFilePointerEx(handle, end, nullptr, FILE_END)) return lastError();
    while (!data.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(data.size(), 1u << 30));
        DWORD written = 0;
        if (!WriteFile(handle, data.data(), chunk, &written, nullptr)) return lastError();
        if (written == 0) return std::make_error_code(std::errc::io_error);
        data.remove_prefix(written);
    }
    return {};
}

std::error_code deleteThrough(HANDLE handle) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    if (!SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition))
        return lastError();
    return {};
}

bool isMissing(DWORD code) { return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND; }

}  // namespace

std::error_code fileId(const std::string& path, FileId& identity) {
    const Handle file(CreateFileW(
        toWide(path).c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file || !readId(file.get(), identity, info)) return lastError();
    return {};
}

std::error_code removeFileWithId(const std::string& path, const FileId& identity) {
    const Handle file(CreateFileW(toWide(path).c_str(), DELETE | FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) {
        const DWORD code = GetLastError();
        return isMissing(code) ? std::error_code() : windowsError(code);
    }
    FileId found;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!readId(file.get(), found, info)) return lastError();
    if ((info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0 ||
        GetFileType(file.get()) != FILE_TYPE_DISK)
        return std::make_error_code(std::errc::invalid_argument);
    if (found != identity) return std::make_error_code(std::errc::operation_not_permitted);
    // Through the handle: exactly the file checked, whatever bears its name now.
    return deleteThrough(file.get());
}

struct JournalFile::Impl {
    Handle handle;
};

JournalFile::JournalFile() = default;
JournalFile::JournalFile(JournalFile&& other) noexcept = default;
JournalFile& JournalFile::operator=(JournalFile&& other) noexcept = default;
JournalFile::~JournalFile() = default;

JournalFile JournalFile::openExisting(const std::string& path, std::error_code& error) {
    JournalFile journal;
    Handle file = openOwn(toWide(path), kJournalAccess, kJournalSharing, OPEN_EXISTING, error);
    if (file) journal.m_impl = std::make_unique<Impl>(Impl{std::move(file)});
    return journal;
}

bool JournalFile::isOpen() const { return m_impl != nullptr; }

std::error_code JournalFile::readAll(std::size_t maxBytes, std::string& content) {
    if (!m_impl) return std::make_error_code(std::errc::bad_file_descriptor);
    LARGE_INTEGER start{};
    if (!SetFilePointerEx(m_impl->handle.get(), start, nullptr, FILE_BEGIN)) return lastError();
    std::string data;
    char chunk[65536];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(m_impl->handle.get(), chunk, sizeof chunk, &got, nullptr)) return lastError();
        if (got == 0) break;
        if (data.size() + got > maxBytes) return std::make_error_code(std::errc::file_too_large);
        data.append(chunk, got);
    }
    content = std::move(data);
    return {};
}

std::error_code JournalFile::append(std::string_view content) {
    if (!m_impl) return std::make_error_code(std::errc::bad_file_descriptor);
    m_bytesWritten += content.size();
    if (const std::error_code error = writeAll(m_impl->handle.get(), content)) return error;
    ++m_syncs;
    if (!FlushFileBuffers(m_impl->handle.get())) return lastError();
    return {};
}

// The new journal is made under a name of its own (CREATE_NEW, never
// through a reparse point, what a crash left there deleted first), reaches
// the disk, then takes the journal's place (MOVEFILE_WRITE_THROUGH returns
// once the move is on the disk). The handle made stays this object's.
std::error_code JournalFile::replace(const std::string& path, std::string_view content) {
    const std::wstring target = toWide(path);
    const std::wstring temporary = target + L".new";
    Handle file;
    std::error_code error;
    for (int attempt = 0; attempt < 2 && !file; ++attempt) {
        file = openOwn(temporary, kJournalAccess, kJournalSharing, CREATE_NEW, error);
        if (!file) {
            const DWORD code = static_cast<DWORD>(error.value());
            if ((code != ERROR_FILE_EXISTS && code != ERROR_ALREADY_EXISTS) ||
                !DeleteFileW(temporary.c_str()))
                return error;
        }
    }
    if (!file) return error;
    m_bytesWritten += content.size();
    error = writeAll(file.get(), content);
    if (!error) {
        ++m_syncs;
        if (!FlushFileBuffers(file.get())) error = lastError();
    }
    // Its identity is read under the name it was made with: after a rename,
    // a handle may no longer tell its volume (Wine).
    FileId made;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!error && !readId(file.get(), made, info)) error = lastError();
    if (!error) {
        // The journal held so far must give way to its replacement.
        m_impl.reset();
        ++m_syncs;
        if (!MoveFileExW(temporary.c_str(), target.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            error = lastError();
    }
    if (error) {
        (void)deleteThrough(file.get());
        return error;
    }
    // Held again through its new name, once that is still this very file:
    // a handle made under the temporary name is not known by the new one
    // everywhere (Wine), and a removal must reach the name. The handle made
    // goes first, as it shares no writing.
    FileId named;
    file.reset();
    Handle reopened = openOwn(target, kJournalAccess, kJournalSharing, OPEN_EXISTING, error);
    if (!reopened) return error;
    if (!readId(reopened.get(), named, info)) return lastError();
    if (made != named) return std::make_error_code(std::errc::no_such_file_or_directory);
    m_impl = std::make_unique<Impl>(Impl{std::move(reopened)});
    return {};
}

void JournalFile::remove(const std::string& path) {
    if (!m_impl) {
        DeleteFileW(toWide(path).c_str());
        return;
    }
    // Emptied first: should the name not go, an empty journal brings nothing back.
    LARGE_INTEGER start{};
    if (SetFilePointerEx(m_impl->handle.get(), start, nullptr, FILE_BEGIN))
        SetEndOfFile(m_impl->handle.get());
    FlushFileBuffers(m_impl->handle.get());
    FileId held;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = readId(m_impl->handle.get(), held, info);
    const std::error_code error = deleteThrough(m_impl->handle.get());
    m_impl.reset();
    // Where a handle does not follow its file's renames (Wine), its own
    // deletion missed the name: the name goes if it is still this file.
    if (known && !error) (void)removeFileWithId(path, held);
}

struct HeldLock::Impl {
    Handle handle;
};

HeldLock::HeldLock() = default;
HeldLock::HeldLock(HeldLock&& other) noexcept = default;
HeldLock& HeldLock::operator=(HeldLock&& other) noexcept = default;
HeldLock::~HeldLock() = default;

// Opened without any sharing: another process's open fails with a sharing
// violation for as long as this one lives.
HeldLock HeldLock::take(const std::string& path, std::error_code& error) {
    HeldLock lock;
    Handle file = openOwn(toWide(path), GENERIC_READ | GENERIC_WRITE, 0, OPEN_ALWAYS, error);
    if (!file) {
        if (error.value() == ERROR_SHARING_VIOLATION && error.category() == win32::windowsCategory())
            error = std::make_error_code(std::errc::resource_unavailable_try_again);
        return lock;
    }
    error.clear();
    lock.m_impl = std::make_unique<Impl>(Impl{std::move(file)});
    return lock;
}

bool HeldLock::isHeld() const { return m_impl != nullptr; }

}  // namespace mirvane::platform
