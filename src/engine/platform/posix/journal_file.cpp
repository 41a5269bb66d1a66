// The journal kept between runs, the lock beside it, and the removal of a
// file known by its identity.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/platform/journal_file.h"
#include "engine/platform/posix/posix_internal.h"

namespace mirvane::platform {

using posix::lastError;
using posix::writeAll;

namespace {

std::error_code systemError(int code) { return {code, std::system_category()}; }

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

void syncFolderOf(const std::string& path) {
    const int fd = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    (void)::fsync(fd);
    ::close(fd);
}

// The user's own: a regular file of this user's that no one else may write
// and that no other name reaches (another name could be another's way in).
std::error_code ownFileProblem(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) return lastError();
    if (S_ISDIR(info.st_mode)) return systemError(EISDIR);
    if (!S_ISREG(info.st_mode)) return systemError(EINVAL);
    if (info.st_uid != ::geteuid() || (info.st_mode & 022) != 0 || info.st_nlink != 1)
        return systemError(EACCES);
    return {};
}

// O_NONBLOCK: a FIFO put at the name must not hold the start up.
int openOwn(const std::string& path, int flags, std::error_code& error) {
    const int fd = ::open(path.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = errno == ELOOP ? systemError(EACCES) : lastError();
        return -1;
    }
    error = ownFileProblem(fd);
    if (!error) {
        const int status = ::fcntl(fd, F_GETFL);
        if (status != -1 && ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK) == 0) return fd;
        error = lastError();
    }
    ::close(fd);
    return -1;
}

bool namesDescriptor(const std::string& path, int fd) {
    struct stat named {};
    struct stat held {};
    return ::lstat(path.c_str(), &named) == 0 && ::fstat(fd, &held) == 0 && named.st_dev == held.st_dev &&
           named.st_ino == held.st_ino;
}

}  // namespace

std::error_code fileId(const std::string& path, FileId& identity) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return lastError();
    identity = {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
    return {};
}

std::error_code removeFileWithId(const std::string& path, const FileId& identity) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return errno == ENOENT ? std::error_code() : lastError();
    if (!S_ISREG(info.st_mode)) return systemError(S_ISDIR(info.st_mode) ? EISDIR : EINVAL);
    if (static_cast<std::uint64_t>(info.st_dev) != identity.volume ||
        static_cast<std::uint64_t>(info.st_ino) != identity.file)
        return systemError(EPERM);
    // Should the entry be swapped meanwhile, unlink removes a name in the
    // output's folder, never a link's target.
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) return lastError();
    return {};
}

struct JournalFile::Impl {
    explicit Impl(int descriptor) : fd(descriptor) {}
    ~Impl() { ::close(fd); }
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;
    int fd;
};

JournalFile::JournalFile() = default;
JournalFile::JournalFile(JournalFile&& other) noexcept = default;
JournalFile& JournalFile::operator=(JournalFile&& other) noexcept = default;
JournalFile::~JournalFile() = default;

JournalFile JournalFile::openExisting(const std::string& path, std::error_code& error) {
    JournalFile journal;
    const int fd = openOwn(path, O_RDWR | O_APPEND, error);
    if (fd >= 0) journal.m_impl = std::make_unique<Impl>(fd);
    return journal;
}

bool JournalFile::isOpen() const { return m_impl != nullptr; }

std::error_code JournalFile::readAll(std::size_t maxBytes, std::string& content) {
    if (!m_impl) return systemError(EBADF);
    std::string data;
    char chunk[65536];
    for (off_t offset = 0;;) {
        const ssize_t got = ::pread(m_impl->fd, chunk, sizeof chunk, offset);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return lastError();
        if (got == 0) break;
        if (data.size() + static_cast<std::size_t>(got) > maxBytes) return systemError(EFBIG);
        data.append(chunk, static_cast<std::size_t>(got));
        offset += got;
    }
    content = std::move(data);
    return {};
}

std::error_code JournalFile::append(std::string_view content) {
    if (!m_impl) return systemError(EBADF);
    m_bytesWritten += content.size();
    if (const std::error_code error = writeAll(m_impl->fd, content)) return error;
    ++m_syncs;
    if (::fdatasync(m_impl->fd) != 0) return lastError();
    return {};
}

// The new journal is made under a name of its own (O_EXCL, never through a
// link, what a crash left there removed first), reaches the disk, then
// takes the journal's place in one rename, and the rename reaches the disk
// with its folder.
std::error_code JournalFile::replace(const std::string& path, std::string_view content) {
    const std::string temporary = path + ".new";
    int fd = -1;
    for (int attempt = 0; attempt < 2 && fd < 0; ++attempt) {
        fd = ::open(temporary.c_str(), O_RDWR | O_APPEND | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && (errno != EEXIST || ::unlink(temporary.c_str()) != 0)) return lastError();
    }
    if (fd < 0) return lastError();
    auto made = std::make_unique<Impl>(fd);
    m_bytesWritten += content.size();
    std::error_code error = writeAll(fd, content);
    if (!error) {
        ++m_syncs;
        if (::fsync(fd) != 0) error = lastError();
    }
    if (!error && ::rename(temporary.c_str(), path.c_str()) != 0) error = lastError();
    if (error) {
        ::unlink(temporary.c_str());
        return error;
    }
    ++m_syncs;
    syncFolderOf(path);
    m_impl = std::move(made);
    return {};
}

void JournalFile::remove(const std::string& path) {
    if (m_impl) {
        // Emptied first: should the name not go, an empty journal brings
        // nothing back.
        (void)::ftruncate(m_impl->fd, 0);
        if (namesDescriptor(path, m_impl->fd)) ::unlink(path.c_str());
        (void)::fsync(m_impl->fd);
        m_impl.reset();
    } else {
        ::unlink(path.c_str());
    }
    syncFolderOf(path);
}

struct HeldLock::Impl {
    explicit Impl(int descriptor) : fd(descriptor) {}
    ~Impl() { ::close(fd); }
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;
    int fd;
};

HeldLock::HeldLock() = default;
HeldLock::HeldLock(HeldLock&& other) noexcept = default;
HeldLock& HeldLock::operator=(HeldLock&& other) noexcept = default;
HeldLock::~HeldLock() = default;

HeldLock HeldLock::take(const std::string& path, std::error_code& error) {
    HeldLock lock;
    const int fd = openOwn(path, O_RDWR | O_CREAT, error);
    if (fd < 0) return lock;
    auto held = std::make_unique<Impl>(fd);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        error = errno == EWOULDBLOCK ? std::make_error_code(std::errc::resource_unavailable_try_again)
                                     : lastError();
        return lock;
    }
    lock.m_impl = std::move(held);
    return lock;
}

bool HeldLock::isHeld() const { return m_impl != nullptr; }

}  // namespace mirvane::platform
