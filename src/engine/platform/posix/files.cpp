// File tests, reads and writes.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/platform/files.h"
#include "engine/platform/posix/posix_internal.h"

namespace mirvane::platform {

using posix::lastError;
using posix::writeAll;

namespace {

// Every error carries the system's own code, so that its text is the system's.
std::error_code systemError(int code) { return {code, std::system_category()}; }

bool isAccessibleFile(const std::string& path, int access) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::faccessat(AT_FDCWD, path.c_str(), access, AT_EACCESS) == 0;
}

// Opens without ever blocking: O_NONBLOCK keeps the open of a FIFO from
// waiting for its other end, and a device or FIFO that opens anyway is
// refused before anything is done to it. A link to a regular file is fine.
int openRegular(const std::string& path, int flags, std::error_code& error) {
    const int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = lastError();
        return -1;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        error = lastError();
    } else if (S_ISDIR(info.st_mode)) {
        error = systemError(EISDIR);
    } else if (!S_ISREG(info.st_mode)) {
        error = systemError(EINVAL);
    } else {
        // A regular file ignores the flag on Linux; other systems may not.
        const int status = ::fcntl(fd, F_GETFL);
        if (status != -1 && ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK) == 0) {
            error.clear();
            return fd;
        }
        error = lastError();
    }
    ::close(fd);
    return -1;
}

}  // namespace

std::string currentFolder() {
    std::string folder(256, '\0');
    while (::getcwd(folder.data(), folder.size()) == nullptr) {
        if (errno != ERANGE) return {};
        folder.resize(folder.size() * 2);
    }
    folder.resize(std::char_traits<char>::length(folder.c_str()));
    return folder;
}

bool entryExists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

bool isReadableFile(const std::string& path) { return isAccessibleFile(path, R_OK); }

bool isExecutableFile(const std::string& path) { return isAccessibleFile(path, X_OK); }

// POSIX file systems know one name per file.
std::optional<std::string> shortPath(const std::string&) { return std::nullopt; }

bool deleteFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

std::error_code readFile(const std::string& path, std::size_t maxBytes, std::string& content) {
    std::error_code error;
    const int fd = openRegular(path, O_RDONLY, error);
    if (fd < 0) return error;
    struct stat info {};
    std::string data;
    if (::fstat(fd, &info) != 0) {
        error = lastError();
    } else if (static_cast<std::size_t>(info.st_size) > maxBytes) {
        error = systemError(EFBIG);
    } else {
        data.resize(static_cast<std::size_t>(info.st_size));
        std::size_t filled = 0;
        while (filled < data.size()) {
            const ssize_t got = ::read(fd, data.data() + filled, data.size() - filled);
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) error = lastError();
            if (got <= 0) break;
            filled += static_cast<std::size_t>(got);
        }
        data.resize(filled);
        // The file may have grown since its size was taken: the rest comes in
        // small pieces, and no more than maxBytes are ever taken in.
        char more[4096];
        while (!error) {
            const ssize_t got = ::read(fd, more, sizeof more);
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) error = lastError();
            if (got <= 0) break;
            if (data.size() + static_cast<std::size_t>(got) > maxBytes) {
                error = systemError(EFBIG);
            } else {
                data.append(more, static_cast<std::size_t>(got));
            }
        }
    }
    ::close(fd);
    if (!error) content = std::move(data);
    return error;
}

namespace {

// The new content on disk under a new name: O_EXCL and O_NOFOLLOW never
// write into anything that stands at that name, so what a crash left there,
// a link too, is removed and the name made anew. Readable by its owner
// only: the names of a user's files are the user's.
std::error_code writeTemporary(const std::string& temporary, std::string_view content) {
    int fd = -1;
    for (int attempt = 0; attempt < 2 && fd < 0; ++attempt) {
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && (errno != EEXIST || ::unlink(temporary.c_str()) != 0)) return lastError();
    }
    if (fd < 0) return lastError();
    std::error_code error = writeAll(fd, content);
    if (!error && ::fsync(fd) != 0) error = lastError();
    if (::close(fd) != 0 && !error) error = lastError();
    return error;
}

}  // namespace

std::error_code replaceFileContents(const std::string& path, std::string_view content) {
    const std::string temporary = path + ".new";
    std::error_code error = writeTemporary(temporary, content);
    if (!error && ::rename(temporary.c_str(), path.c_str()) != 0) error = lastError();
    if (error) {
        ::unlink(temporary.c_str());
        return error;
    }
    // The rename itself reaches the disk with the folder; a system that
    // cannot sync a folder still has the whole file under one name or the other.
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        (void)::fsync(folderFd);
        ::close(folderFd);
    }
    return {};
}

struct File::Impl {
    explicit Impl(int descriptor) : fd(descriptor) {}
    ~Impl() {
        if (fd >= 0) ::close(fd);
    }
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    int fd;
};

File::File() = default;
File::File(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}
File::File(File&& other) noexcept = default;
File& File::operator=(File&& other) noexcept = default;
File::~File() = default;

// A link at the name is never written through (O_NOFOLLOW): the log and the
// script lie in a folder whose entries only their user should make, and a
// link planted there would have them written over any file of that user's.
File File::openExistingForAppend(const std::string& path, std::error_code& error) {
    const int fd = openRegular(path, O_WRONLY | O_APPEND | O_NOFOLLOW, error);
    return fd < 0 ? File() : File(std::make_unique<Impl>(fd));
}

File File::createAlways(const std::string& path, std::error_code& error) {
    // Emptied only once it is known to be a regular file: O_TRUNC would act
    // before the check.
    const int fd = openRegular(path, O_WRONLY | O_CREAT | O_NOFOLLOW, error);
    if (fd < 0) return File();
    File file(std::make_unique<Impl>(fd));
    if (::ftruncate(fd, 0) != 0) {
        error = lastError();
        return File();
    }
    return file;
}

bool File::isOpen() const { return m_impl != nullptr; }

std::error_code File::write(std::string_view data) {
    if (!m_impl) return std::make_error_code(std::errc::bad_file_descriptor);
    return writeAll(m_impl->fd, data);
}

std::error_code File::close() {
    if (!m_impl) return std::make_error_code(std::errc::bad_file_descriptor);
    const int fd = m_impl->fd;
    m_impl->fd = -1;
    m_impl.reset();
    return ::close(fd) != 0 ? lastError() : std::error_code();
}

}  // namespace mirvane::platform

namespace mirvane::platform::posix {

std::error_code writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t written = ::write(fd, data.data(), data.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return lastError();
        }
        if (written == 0) return std::make_error_code(std::errc::io_error);
        data.remove_prefix(static_cast<std::size_t>(written));
    }
    return {};
}

}  // namespace mirvane::platform::posix
