// The executable's path, file tests, reads and writes, through the wide
// functions, so that names outside the ANSI code page work.

#include <memory>

#include "engine/platform/files.h"
#include "engine/platform/win32/win32_internal.h"

namespace mirvane::platform {

using win32::Handle;
using win32::lastError;
using win32::toWide;
using win32::windowsError;

namespace {

// Others may read, write and delete the file while it is open, as on POSIX
// systems: a viewer may hold the log open while the next batch deletes it.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

DWORD attributesOf(const std::string& path) { return GetFileAttributesW(toWide(path).c_str()); }

// Opens a regular file only. A device name (NUL, CON, COM1, also with an
// extension) or a pipe opens as something else: it is refused before
// anything is read from it or written to it. Opening either never waits.
Handle openRegular(const std::string& path, DWORD access, DWORD disposition, std::error_code& error,
                   DWORD flags = 0) {
    Handle file(CreateFileW(toWide(path).c_str(), access, kShareAll, nullptr, disposition,
                            FILE_ATTRIBUTE_NORMAL | flags, nullptr));
    if (!file) {
        error = lastError();
        return {};
    }
    if (GetFileType(file.get()) != FILE_TYPE_DISK) {
        error = std::make_error_code(std::errc::invalid_argument);
        return {};
    }
    error.clear();
    return file;
}

// ERROR_STOPPED_ON_SYMLINK: "The create operation stopped after reaching a
// symbolic link." (mingw-w64's headers lack the name).
constexpr DWORD kStoppedOnLink = 681;

// Opens the name itself, never what a link (a reparse point) there leads to,
// and refuses a link: the log and the script are never written through one
// that someone planted at their names.
Handle openRegularNoLink(const std::string& path, DWORD access, DWORD disposition, std::error_code& error) {
    Handle file = openRegular(path, access, disposition, error, FILE_FLAG_OPEN_REPARSE_POINT);
    if (!file) return {};
    FILE_ATTRIBUTE_TAG_INFO info{};
    if (!GetFileInformationByHandleEx(file.get(), FileAttributeTagInfo, &info, sizeof info)) {
        error = lastError();
        return {};
    }
    if ((info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        error = windowsError(kStoppedOnLink);
        return {};
    }
    return file;
}

}  // namespace

// Long paths: the buffer grows until the whole path fits, up to the largest
// path the system knows.
std::string executablePath() {
    std::wstring path(MAX_PATH, L'\0');
    while (path.size() <= 32768) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return win32::toUtf8(path);
        }
        path.resize(path.size() * 2);
    }
    return {};
}

// The buffer's size is asked first: the folder may be longer than MAX_PATH.
std::string currentFolder() {
    std::wstring folder(GetCurrentDirectoryW(0, nullptr), L'\0');
    const DWORD length = GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), folder.data());
    if (length == 0 || length >= folder.size()) return {};
    folder.resize(length);
    return win32::toUtf8(folder);
}

// A reparse point counts even when it stands for a folder, as a link to one
// does on POSIX systems: no new file is ever written through it.
bool entryExists(const std::string& path) {
    return attributesOf(path) != INVALID_FILE_ATTRIBUTES;
}

bool isReadableFile(const std::string& path) {
    std::error_code error;
    return static_cast<bool>(openRegular(path, GENERIC_READ, OPEN_EXISTING, error));
}

// Windows has no execute permission to test beforehand; whether the file is
// a program at all is reported by the start.
bool isExecutableFile(const std::string& path) {
    const DWORD attributes = attributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::optional<std::string> shortPath(const std::string& path) {
    const std::wstring longPath = toWide(path);
    std::wstring result(MAX_PATH, L'\0');
    // The length asked for includes the terminating zero; the one given back does not.
    for (int attempt = 0; attempt < 2; ++attempt) {
        const DWORD length =
            GetShortPathNameW(longPath.c_str(), result.data(), static_cast<DWORD>(result.size()));
        if (length == 0) return std::nullopt;
        if (length < result.size()) {
            result.resize(length);
            return win32::toUtf8(result);
        }
        result.resize(length);
    }
    return std::nullopt;
}

bool deleteFile(const std::string& path) { return DeleteFileW(toWide(path).c_str()) != FALSE; }

std::error_code readFile(const std::string& path, std::size_t maxBytes, std::string& content) {
    std::error_code error;
    const Handle file = openRegular(path, GENERIC_READ, OPEN_EXISTING, error);
    if (!file) return error;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) return lastError();
    if (static_cast<unsigned long long>(size.QuadPart) > maxBytes) return windowsError(ERROR_FILE_TOO_LARGE);
    std::string data;
    // The file may grow while it is read: never more than maxBytes are taken in.
    char buffer[1 << 16];
    while (true) {
        DWORD got = 0;
        if (!ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr)) return lastError();
        if (got == 0) break;
        if (data.size() + got > maxBytes) return windowsError(ERROR_FILE_TOO_LARGE);
        data.append(buffer, got);
    }
    content = std::move(data);
    return {};
}

namespace {

// The new content on disk under a new name: CREATE_NEW never writes into
// anything that stands at that name, and a reparse point there is opened,
// not followed, so what a crash left, a link too, is deleted and the name
// made anew. Nobody else may open it meanwhile.
std::error_code writeTemporary(const std::wstring& temporary, std::string_view content) {
    Handle file;
    for (int attempt = 0; attempt < 2 && !file; ++attempt) {
        file = Handle(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (!file) {
            const DWORD code = GetLastError();
            if ((code != ERROR_FILE_EXISTS && code != ERROR_ALREADY_EXISTS) ||
                !DeleteFileW(temporary.c_str()))
                return windowsError(code);
        }
    }
    if (!file) return lastError();
    while (!content.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(content.size(), 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file.get(), content.data(), chunk, &written, nullptr)) return lastError();
        if (written == 0) return std::make_error_code(std::errc::io_error);
        content.remove_prefix(written);
    }
    if (!FlushFileBuffers(file.get())) return lastError();
    if (!file.reset()) return lastError();
    return {};
}

}  // namespace

// MOVEFILE_WRITE_THROUGH returns only once the move is on the disk.
std::error_code replaceFileContents(const std::string& path, std::string_view content) {
    const std::wstring target = toWide(path);
    const std::wstring temporary = target + L".new";
    std::error_code error = writeTemporary(temporary, content);
    if (!error &&
        !MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        error = lastError();
    if (error) DeleteFileW(temporary.c_str());
    return error;
}

struct File::Impl {
    Handle handle;
};

File::File() = default;
File::File(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}
File::File(File&& other) noexcept = default;
File& File::operator=(File&& other) noexcept = default;
File::~File() = default;

// Append-only access makes the system put every write at the file's end,
// also after another writer has made it longer.
File File::openExistingForAppend(const std::string& path, std::error_code& error) {
    Handle handle = openRegularNoLink(path, FILE_APPEND_DATA | SYNCHRONIZE, OPEN_EXISTING, error);
    if (!handle) return {};
    return File(std::make_unique<Impl>(Impl{std::move(handle)}));
}

// Emptied only once it is known to be no link: CREATE_ALWAYS would empty
// whatever stands at the name before it could be looked at.
File File::createAlways(const std::string& path, std::error_code& error) {
    Handle handle = openRegularNoLink(path, GENERIC_WRITE, OPEN_ALWAYS, error);
    if (!handle) return {};
    if (!SetEndOfFile(handle.get())) {
        error = lastError();
        return {};
    }
    return File(std::make_unique<Impl>(Impl{std::move(handle)}));
}

bool File::isOpen() const { return m_impl && m_impl->handle; }

std::error_code File::write(std::string_view data) {
    if (!isOpen()) return std::make_error_code(std::errc::bad_file_descriptor);
    while (!data.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(data.size(), 1u << 30));
        DWORD written = 0;
        if (!WriteFile(m_impl->handle.get(), data.data(), chunk, &written, nullptr)) return lastError();
        if (written == 0) return std::make_error_code(std::errc::io_error);
        data.remove_prefix(written);
    }
    return {};
}

std::error_code File::close() {
    if (!isOpen()) return std::make_error_code(std::errc::bad_file_descriptor);
    const bool closed = m_impl->handle.reset();
    const std::error_code error = closed ? std::error_code() : lastError();
    m_impl.reset();
    return error;
}

}  // namespace mirvane::platform
