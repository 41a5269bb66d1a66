// The encoder's output on Linux. Everything is done relative to the output's
// folder held open, so a folder renamed or swapped meanwhile changes nothing:
// - a single file is made there with O_EXCL and O_NOFOLLOW and held open; the
//   encoder gets its very name where no one but this user and root may rename
//   anything on the way to it, and otherwise a link, in a private folder of
//   Mirvane's own, to this process's descriptor under /proc, which re-opens
//   this very file whatever is put at its name meanwhile;
// - several files are written into a folder of Mirvane's own (mode 0700)
//   made there, reached the same way;
// - a final name is made from what is held (linkat), never by renaming a name.

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "engine/platform/journal_file.h"
#include "engine/platform/output_file.h"
#include "engine/platform/posix/posix_internal.h"

namespace mirvane::platform {

using posix::lastError;

namespace {

constexpr std::string_view kLinkFolderPrefix = "mirvane-output-";

std::error_code systemError(int code) { return {code, std::system_category()}; }

CommitStepObserver& commitObserver() {
    static CommitStepObserver observer;
    return observer;
}

void step(std::string_view name) {
    if (commitObserver()) commitObserver()(name);
}

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

std::string nameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether the entry name in the folder held as dirfd is itself the file or
// folder open as fd, not a link to it nor anything put in its place.
bool namesDescriptor(int dirfd, const std::string& name, int fd) {
    struct stat entry {};
    struct stat held {};
    return ::fstatat(dirfd, name.c_str(), &entry, AT_SYMLINK_NOFOLLOW) == 0 && ::fstat(fd, &held) == 0 &&
           (entry.st_mode & S_IFMT) == (held.st_mode & S_IFMT) && sameFile(entry, held);
}

void closeIfOpen(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

// No one but this user and root may rename or replace an entry of this folder
// owned by this user: its owner is one of them, and others may not write in
// it, or it is sticky.
bool closedToOthers(const struct stat& folder) {
    const bool trustedOwner = folder.st_uid == ::geteuid() || folder.st_uid == 0;
    const bool othersWrite = (folder.st_mode & (S_IWGRP | S_IWOTH)) != 0;
    return S_ISDIR(folder.st_mode) && trustedOwner && (!othersWrite || (folder.st_mode & S_ISVTX) != 0);
}

bool everyPrefixClosed(const std::string& path) {
    struct stat root {};
    if (::stat("/", &root) != 0 || !closedToOthers(root)) return false;
    for (std::size_t end = 0; end != std::string::npos;) {
        end = path.find('/', end + 1);
        const std::string prefix =
            end == std::string::npos ? path : path.substr(0, std::max<std::size_t>(end, 1));
        struct stat info {};
        if (::stat(prefix.c_str(), &info) != 0 || !closedToOthers(info)) return false;
    }
    return true;
}

// Whether the name folder + "/" + x reaches an entry x of the folder held as
// dirfd whatever others do: every folder on the way, the links among them
// followed, is closed to them. Then the encoder can be handed the very name
// the user sees.
bool wayClosedToOthers(const std::string& folder, int dirfd) {
    if (folder.empty() || folder.front() != '/') return false;
    struct stat named {};
    struct stat held {};
    if (::stat(folder.c_str(), &named) != 0 || ::fstat(dirfd, &held) != 0 || !sameFile(named, held))
        return false;
    char* resolved = ::realpath(folder.c_str(), nullptr);
    if (resolved == nullptr) return false;
    const std::string real(resolved);
    ::free(resolved);
    return everyPrefixClosed(folder) && everyPrefixClosed(real);
}

// A relative TMPDIR would depend on the folder the program was started from.
std::string temporaryFolder() {
    const char* value = std::getenv("TMPDIR");
    return value != nullptr && value[0] == '/' ? std::string(value) : std::string("/tmp");
}

// Whether a link folder's link points into a run that is over: its process
// is gone, or no longer holds that descriptor. A live run's link is kept,
// whatever program it is.
bool linkOfAnEndedRun(const std::string& target) {
    int pid = 0;
    int fd = 0;
    char rest = 0;
    if (std::sscanf(target.c_str(), "/proc/%d/fd/%d%c", &pid, &fd, &rest) != 2 || pid <= 0) return false;
    if (pid == ::getpid()) return false;
    if (::kill(pid, 0) != 0 && errno == ESRCH) return true;
    struct stat info {};
    return ::stat(target.c_str(), &info) != 0 && errno == ENOENT;
}

// Removes the link folders of runs that ended without removing theirs (a
// kill -9, a power cut): only this user's own, mode 0700, holding nothing but
// links into /proc of a process that is no longer one of ours.
void sweepLinkFolders() {
    const std::string temporary = temporaryFolder();
    const int tmpfd = ::open(temporary.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (tmpfd < 0) return;
    DIR* listing = ::fdopendir(::dup(tmpfd));
    if (listing == nullptr) {
        ::close(tmpfd);
        return;
    }
    std::vector<std::string> candidates;
    while (const dirent* entry = ::readdir(listing)) {
        const std::string name = entry->d_name;
        if (name.starts_with(kLinkFolderPrefix)) candidates.push_back(name);
    }
    ::closedir(listing);
    for (const std::string& name : candidates) {
        struct stat info {};
        if (::fstatat(tmpfd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(info.st_mode) ||
            info.st_uid != ::geteuid() || (info.st_mode & 077) != 0)
            continue;
        const int folder = ::openat(tmpfd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (folder < 0) continue;
        DIR* links = ::fdopendir(folder);
        if (links == nullptr) {
            ::close(folder);
            continue;
        }
        std::vector<std::string> ended;
        bool onlyEnded = true;
        while (const dirent* link = ::readdir(links)) {
            const std::string linkName = link->d_name;
            if (linkName == "." || linkName == "..") continue;
            struct stat linkInfo {};
            std::string target(64, '\0');
            const ssize_t length = ::readlinkat(folder, linkName.c_str(), target.data(), target.size() - 1);
            if (::fstatat(folder, linkName.c_str(), &linkInfo, AT_SYMLINK_NOFOLLOW) != 0 ||
                !S_ISLNK(linkInfo.st_mode) || length <= 0 ||
                !linkOfAnEndedRun(target.substr(0, static_cast<std::size_t>(length)))) {
                onlyEnded = false;
                break;
            }
            ended.push_back(linkName);
        }
        // A folder made but never given its link: only once it is old enough
        // that no run of ours can still be between the two steps.
        if (onlyEnded && ended.empty() && ::time(nullptr) - info.st_mtime < 60) onlyEnded = false;
        if (onlyEnded) {
            for (const std::string& link : ended) ::unlinkat(::dirfd(links), link.c_str(), 0);
            ::unlinkat(tmpfd, name.c_str(), AT_REMOVEDIR);
        }
        ::closedir(links);
    }
    ::close(tmpfd);
}

// The permission bits a new output may have: the default ones, at most the
// input's; and the input's group, which the bits it shares with are meant
// for.
struct OutputRights {
    mode_t mode = 0666;
    bool hasGroup = false;
    gid_t group = 0;
};

OutputRights rightsFrom(const std::string& input) {
    OutputRights rights;
    struct stat info {};
    if (input.empty() || ::stat(input.c_str(), &info) != 0) return rights;
    rights.mode = 0666 & info.st_mode;
    rights.hasGroup = true;
    rights.group = info.st_gid;
    return rights;
}

// Narrows an open file to the rights: in a folder whose files take its own
// group (set-group-id), the group bits are for the input's group or none.
std::error_code restrict(int fd, const OutputRights& rights) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) return lastError();
    mode_t mode = info.st_mode & rights.mode & 0777;
    if (rights.hasGroup && info.st_gid != rights.group &&
        ::fchown(fd, static_cast<uid_t>(-1), rights.group) != 0)
        mode &= ~static_cast<mode_t>(070);
    if (mode != (info.st_mode & 07777) && ::fchmod(fd, mode) != 0) return lastError();
    return {};
}

// The regular files of a folder held as fd, by name.
std::vector<std::string> regularFilesIn(int fd) {
    std::vector<std::string> names;
    DIR* listing = ::fdopendir(::dup(fd));
    if (listing == nullptr) return names;
    // The copy shares the reading position with fd: back to the start.
    ::rewinddir(listing);
    while (const dirent* entry = ::readdir(listing)) {
        struct stat info {};
        if (::fstatat(fd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode))
            names.emplace_back(entry->d_name);
    }
    ::closedir(listing);
    return names;
}

// A new nameless file in the folder with the held file's bytes and bits,
// flushed, then given the name.
std::error_code nameACopy(int dirfd, int fd, const std::string& name, const struct stat& info) {
    const int copy = ::openat(dirfd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, info.st_mode & 0777);
    if (copy < 0) return lastError();
    std::error_code error;
    off_t offset = 0;
    while (!error && offset < info.st_size) {
        const ssize_t sent = ::sendfile(copy, fd, &offset, static_cast<std::size_t>(info.st_size - offset));
        if (sent < 0) error = lastError();
        if (sent == 0) error = systemError(EIO);
    }
    if (!error && ::fsync(copy) != 0) error = lastError();
    const std::string held = "/proc/self/fd/" + std::to_string(copy);
    if (!error && ::linkat(AT_FDCWD, held.c_str(), dirfd, name.c_str(), AT_SYMLINK_FOLLOW) != 0)
        error = lastError();
    ::close(copy);
    return error;
}

}  // namespace

void observeCommitSteps(CommitStepObserver observer) { commitObserver() = std::move(observer); }

void sweepLeftoverLinkFolders() { sweepLinkFolders(); }

InputKind inputKind(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return errno == ENOENT ? InputKind::Missing : InputKind::Other;
    return S_ISREG(info.st_mode) ? InputKind::File : InputKind::Other;
}

bool nameFits(const std::string& folder, std::string_view name) {
    errno = 0;
    long limit = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    if (limit <= 0) limit = NAME_MAX;
    return name.size() <= static_cast<std::size_t>(limit);
}

struct WorkingFile::Impl {
    Impl() = default;
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;
    ~Impl() {
        // unlinkat never follows a link, and the check keeps what someone
        // else put at the name.
        if (fd >= 0 && !kept && namesDescriptor(dirfd, name, fd)) ::unlinkat(dirfd, name.c_str(), 0);
        closeIfOpen(fd);
        closeIfOpen(dirfd);
        removeEncoderLink();
    }

    void removeEncoderLink() {
        if (linkFolder.empty()) return;
        ::unlink(encoderPath.c_str());
        ::rmdir(linkFolder.c_str());
        linkFolder.clear();
    }

    // A link, in a folder of Mirvane's own, that reaches the held file.
    std::error_code makeEncoderLink(const std::string& extension) {
        sweepLinkFolders();
        std::string folder = temporaryFolder() + "/" + std::string(kLinkFolderPrefix) + "XXXXXX";
        if (::mkdtemp(folder.data()) == nullptr) return lastError();
        linkFolder = folder;
        encoderPath = folder + "/output" + extension;
        // The encoder is a child of this process, so /proc/self would name
        // the encoder itself.
        const std::string target = "/proc/" + std::to_string(::getpid()) + "/fd/" + std::to_string(fd);
        if (::symlink(target.c_str(), encoderPath.c_str()) != 0) return lastError();
        // Without /proc the encoder could not reach the file: better known now.
        struct stat through {};
        struct stat held {};
        if (::stat(encoderPath.c_str(), &through) != 0 || ::fstat(fd, &held) != 0) return lastError();
        if (!sameFile(through, held)) return systemError(ENOENT);
        return {};
    }

    std::string path;
    std::string name;
    std::string linkFolder;
    std::string encoderPath;
    int dirfd = -1;
    int fd = -1;
    bool kept = false;
};

WorkingFile::WorkingFile() = default;
WorkingFile::WorkingFile(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}
WorkingFile::WorkingFile(WorkingFile&& other) noexcept = default;
WorkingFile& WorkingFile::operator=(WorkingFile&& other) noexcept = default;
WorkingFile::~WorkingFile() = default;

WorkingFile WorkingFile::create(const std::string& path, std::error_code& error, const std::string& input) {
    auto impl = std::make_unique<Impl>();
    impl->path = path;
    impl->name = nameOf(path);
    const std::string folder = folderOf(path);
    impl->dirfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (impl->dirfd < 0) {
        error = lastError();
        return {};
    }
    const OutputRights rights = rightsFrom(input);
    // O_EXCL fails on any entry, also a dangling link; the umask applies as
    // to any new file, and the input's bits on top of it.
    impl->fd = ::openat(impl->dirfd, impl->name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                        rights.mode);
    if (impl->fd < 0) {
        error = lastError();
        return {};
    }
    // From here on a failure drops impl, which removes the file made above.
    if ((error = restrict(impl->fd, rights))) return {};
    if (wayClosedToOthers(folder, impl->dirfd)) {
        impl->encoderPath = path;
    } else if ((error = impl->makeEncoderLink(extensionOf(path)))) {
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
    Impl& file = *m_impl;
    if (folderOf(finalPath) != folderOf(file.path)) return systemError(EXDEV);
    // A power cut after the name is made must find the bytes behind it.
    step("flush");
    if (::fsync(file.fd) != 0) return lastError();
    // The name is given to the file held, wherever its working name now
    // points: what someone put in its place never becomes the output.
    step("name");
    const std::string held = "/proc/self/fd/" + std::to_string(file.fd);
    if (::linkat(AT_FDCWD, held.c_str(), file.dirfd, nameOf(finalPath).c_str(), AT_SYMLINK_FOLLOW) != 0) {
        const std::error_code error = lastError();
        struct stat info {};
        // Someone removed its every name: the bytes held are still the
        // output, written anew and named the same way.
        if (error != std::errc::no_such_file_or_directory || ::fstat(file.fd, &info) != 0 ||
            info.st_nlink != 0)
            return error;
        if (const std::error_code copied = nameACopy(file.dirfd, file.fd, nameOf(finalPath), info))
            return copied;
    }
    if (namesDescriptor(file.dirfd, file.name, file.fd)) ::unlinkat(file.dirfd, file.name.c_str(), 0);
    // Makes the new name survive a crash; a folder that cannot be synced
    // costs nothing but that.
    ::fsync(file.dirfd);
    file.kept = true;
    m_impl.reset();
    return {};
}

std::error_code WorkingFile::keep() {
    if (!m_impl) return systemError(EBADF);
    if (::fsync(m_impl->fd) != 0) return lastError();
    if (!namesDescriptor(m_impl->dirfd, m_impl->name, m_impl->fd)) return systemError(ENOENT);
    ::fsync(m_impl->dirfd);
    m_impl->kept = true;
    m_impl.reset();
    return {};
}

void WorkingFile::discard() { m_impl.reset(); }

struct WorkingFolder::Impl {
    Impl() = default;
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;
    ~Impl() {
        if (fd >= 0 && !kept) {
            // Inside a folder only this user may write in, a name is what it
            // seems.
            for (const std::string& file : regularFilesIn(fd)) ::unlinkat(fd, file.c_str(), 0);
            removeFolder();
        }
        closeIfOpen(fd);
        closeIfOpen(parentfd);
    }

    // Only while its name is still this folder, and only when it is empty.
    void removeFolder() {
        if (namesDescriptor(parentfd, name, fd)) ::unlinkat(parentfd, name.c_str(), AT_REMOVEDIR);
    }

    std::string path;
    std::string name;
    std::string encoderPrefix;
    OutputRights rights;
    int parentfd = -1;
    int fd = -1;
    bool kept = false;
};

WorkingFolder::WorkingFolder() = default;
WorkingFolder::WorkingFolder(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}
WorkingFolder::WorkingFolder(WorkingFolder&& other) noexcept = default;
WorkingFolder& WorkingFolder::operator=(WorkingFolder&& other) noexcept = default;
WorkingFolder::~WorkingFolder() = default;

WorkingFolder WorkingFolder::create(const std::string& path, std::error_code& error,
                                    const std::string& input) {
    auto impl = std::make_unique<Impl>();
    impl->path = path;
    impl->name = nameOf(path);
    impl->rights = rightsFrom(input);
    const std::string parent = folderOf(path);
    impl->parentfd = ::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (impl->parentfd < 0 || ::mkdirat(impl->parentfd, impl->name.c_str(), 0700) != 0) {
        error = lastError();
        return {};
    }
    impl->fd = ::openat(impl->parentfd, impl->name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat info {};
    if (impl->fd < 0 || ::fstat(impl->fd, &info) != 0) {
        error = lastError();
        return {};
    }
    // Another's folder put at the name in the instant after it was made is
    // neither used nor removed.
    if (info.st_uid != ::geteuid() || (info.st_mode & 077) != 0) {
        ::close(impl->fd);
        impl->fd = -1;
        error = systemError(EEXIST);
        return {};
    }
    impl->encoderPrefix =
        wayClosedToOthers(parent, impl->parentfd)
            ? path + "/"
            : "/proc/" + std::to_string(::getpid()) + "/fd/" + std::to_string(impl->fd) + "/";
    error.clear();
    return WorkingFolder(std::move(impl));
}

bool WorkingFolder::isOpen() const { return m_impl != nullptr; }

const std::string& WorkingFolder::path() const {
    static const std::string none;
    return m_impl ? m_impl->path : none;
}

std::string WorkingFolder::encoderPath(const std::string& fileName) const {
    return m_impl ? m_impl->encoderPrefix + fileName : std::string();
}

std::error_code WorkingFolder::size(std::uint64_t& bytes) const {
    if (!m_impl) return systemError(EBADF);
    bytes = 0;
    for (const std::string& file : regularFilesIn(m_impl->fd)) {
        struct stat info {};
        if (::fstatat(m_impl->fd, file.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) return lastError();
        bytes += static_cast<std::uint64_t>(info.st_size);
    }
    return {};
}

std::error_code WorkingFolder::commit(std::vector<std::string>& moved, std::string& taken) {
    if (!m_impl) return systemError(EBADF);
    Impl& folder = *m_impl;
    const std::string parent = folderOf(folder.path);
    auto finalPath = [&parent](const std::string& file) {
        return parent == "/" ? "/" + file : parent + "/" + file;
    };
    const std::vector<std::string> files = regularFilesIn(folder.fd);
    if (files.empty()) return systemError(ENOENT);
    for (const std::string& file : files) {
        struct stat info {};
        if (::fstatat(folder.parentfd, file.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 || errno != ENOENT) {
            taken = finalPath(file);
            return systemError(EEXIST);
        }
    }
    step("flush");
    for (const std::string& file : files) {
        const int fd = ::openat(folder.fd, file.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) return lastError();
        std::error_code error = restrict(fd, folder.rights);
        if (!error && ::fsync(fd) != 0) error = lastError();
        ::close(fd);
        if (error) return error;
    }
    step("name");
    std::vector<std::string> linked;
    for (const std::string& file : files) {
        if (::linkat(folder.fd, file.c_str(), folder.parentfd, file.c_str(), 0) == 0) {
            linked.push_back(file);
            continue;
        }
        const std::error_code error = lastError();
        if (error == std::errc::file_exists) taken = finalPath(file);
        // All or none: the names given so far are taken back, only where
        // they are still these files, which stay in the folder.
        for (const std::string& done : linked) {
            struct stat outside {};
            struct stat inside {};
            if (::fstatat(folder.parentfd, done.c_str(), &outside, AT_SYMLINK_NOFOLLOW) == 0 &&
                ::fstatat(folder.fd, done.c_str(), &inside, AT_SYMLINK_NOFOLLOW) == 0 &&
                sameFile(outside, inside))
                ::unlinkat(folder.parentfd, done.c_str(), 0);
        }
        return error;
    }
    for (const std::string& file : files) {
        ::unlinkat(folder.fd, file.c_str(), 0);
        moved.push_back(finalPath(file));
    }
    ::fsync(folder.parentfd);
    folder.removeFolder();
    folder.kept = true;
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
    struct stat info {};
    if (!m_impl) return std::error_code(EBADF, std::system_category());
    if (::fstat(m_impl->fd, &info) != 0) return std::error_code(errno, std::system_category());
    identity = {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
    return {};
}

}  // namespace mirvane::platform
