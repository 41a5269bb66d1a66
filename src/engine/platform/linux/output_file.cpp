// The encoder's output on Linux: made here with O_EXCL and O_NOFOLLOW and
// held open; the encoder reaches it through a link, in a folder of Mirvane's
// own, to this process's descriptor under /proc, which re-opens this very
// file whatever is put at its name meanwhile.

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "engine/platform/output_file.h"
#include "engine/platform/posix/posix_internal.h"

namespace mirvane::platform {

using posix::lastError;

namespace {

std::error_code systemError(int code) { return {code, std::system_category()}; }

// As the path rules give it: from the last dot, when no '/' follows it.
std::string extensionOf(const std::string& path) {
    const std::size_t dot = path.rfind('.');
    const std::size_t slash = path.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    return path.substr(dot);
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether the entry at path is itself the regular file open as fd, not a
// link to it nor anything put in its place.
bool namesDescriptor(const std::string& path, int fd) {
    struct stat entry {};
    struct stat held {};
    return ::lstat(path.c_str(), &entry) == 0 && S_ISREG(entry.st_mode) && ::fstat(fd, &held) == 0 &&
           sameFile(entry, held);
}

// A relative TMPDIR would depend on the folder the program was started from.
std::string temporaryFolder() {
    const char* value = std::getenv("TMPDIR");
    return value != nullptr && value[0] == '/' ? std::string(value) : std::string("/tmp");
}

// Makes a rename survive a crash; a folder that cannot be synced costs
// nothing but that.
void syncFolderOf(const std::string& path) {
    const int fd = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

struct WorkingFile::Impl {
    Impl() = default;
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;
    ~Impl() {
        if (fd >= 0) {
            // unlink never follows a link, and the check keeps what someone
            // else put at the name.
            if (namesDescriptor(path, fd)) ::unlink(path.c_str());
            ::close(fd);
        }
        removeEncoderLink();
    }

    void removeEncoderLink() {
        if (folder.empty()) return;
        ::unlink(encoderPath.c_str());
        ::rmdir(folder.c_str());
        folder.clear();
    }

    std::string path;
    std::string folder;
    std::string encoderPath;
    int fd = -1;
};

WorkingFile::WorkingFile() = default;
WorkingFile::WorkingFile(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}
WorkingFile::WorkingFile(WorkingFile&& other) noexcept = default;
WorkingFile& WorkingFile::operator=(WorkingFile&& other) noexcept = default;
WorkingFile::~WorkingFile() = default;

WorkingFile WorkingFile::create(const std::string& path, std::error_code& error) {
    auto impl = std::make_unique<Impl>();
    impl->path = path;
    // O_EXCL fails on any entry, also a dangling link; the umask applies as
    // to any new file.
    impl->fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (impl->fd < 0) {
        error = lastError();
        return {};
    }
    // From here on a failure drops impl, which removes the file made above.
    std::string folder = temporaryFolder() + "/mirvane-output-XXXXXX";
    if (::mkdtemp(folder.data()) == nullptr) {
        error = lastError();
        return {};
    }
    impl->folder = folder;
    impl->encoderPath = folder + "/output" + extensionOf(path);
    // The encoder is a child of this process, so /proc/self would name the
    // encoder itself.
    const std::string target = "/proc/" + std::to_string(::getpid()) + "/fd/" + std::to_string(impl->fd);
    if (::symlink(target.c_str(), impl->encoderPath.c_str()) != 0) {
        error = lastError();
        return {};
    }
    // Without /proc the encoder could not reach the file: better known now.
    struct stat through {};
    struct stat held {};
    if (::stat(impl->encoderPath.c_str(), &through) != 0 || ::fstat(impl->fd, &held) != 0) {
        error = lastError();
        return {};
    }
    if (!sameFile(through, held)) {
        error = systemError(ENOENT);
        return {};
    }
    error.clear();
    return WorkingFile(std::move(impl));
}

bool WorkingFile::isOpen() const { return m_impl != nullptr; }

const std::string& WorkingFile::path() const {
    static const std::string none;
    return m_impl ? m_impl->path : none;
}

const std::string& WorkingFile::encoderPath() const {
    static const std::string none;
    return m_impl ? m_impl->encoderPath : none;
}

std::error_code WorkingFile::size(std::uint64_t& bytes) const {
    if (!m_impl) return systemError(EBADF);
    struct stat info {};
    if (::fstat(m_impl->fd, &info) != 0) return lastError();
    bytes = static_cast<std::uint64_t>(info.st_size);
    return {};
}

std::error_code WorkingFile::commit(const std::string& finalPath) {
    if (!m_impl) return systemError(EBADF);
    const std::string& path = m_impl->path;
    if (::fsync(m_impl->fd) != 0) return lastError();
    // A rename moves whatever the name holds: what someone put in the file's
    // place must never become the output.
    if (!namesDescriptor(path, m_impl->fd)) return systemError(ENOENT);
    if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, finalPath.c_str(), RENAME_NOREPLACE) != 0) {
        if (errno != EINVAL && errno != ENOSYS) return lastError();
        // A file system that cannot rename without replacing: a hard link
        // fails on a taken name just the same.
        if (::link(path.c_str(), finalPath.c_str()) != 0) return lastError();
        if (namesDescriptor(path, m_impl->fd)) ::unlink(path.c_str());
    }
    syncFolderOf(finalPath);
    ::close(m_impl->fd);
    m_impl->fd = -1;
    m_impl.reset();
    return {};
}

void WorkingFile::discard() { m_impl.reset(); }

}  // namespace mirvane::platform

// Kept apart from the rest: the identity is the journal's concern.
#include "engine/platform/journal_file.h"

namespace mirvane::platform {

std::error_code WorkingFile::identity(FileId& identity) const {
    struct stat info {};
    if (!m_impl) return std::error_code(EBADF, std::system_category());
    if (::fstat(m_impl->fd, &info) != 0) return std::error_code(errno, std::system_category());
    identity = {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
    return {};
}

}  // namespace mirvane::platform
