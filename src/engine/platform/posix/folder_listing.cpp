// One folder's entries, for the walk of a dropped folder, read through a
// descriptor the walk holds: each subfolder is opened relative to the folder
// that listed it (openat with O_NOFOLLOW), never by its path.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/platform/folder_listing.h"
#include "engine/platform/posix/posix_internal.h"

namespace mirvane::platform {

namespace {

EntryKind kindOfMode(mode_t mode, EntryKind folder) {
    if (S_ISREG(mode)) return EntryKind::File;
    return S_ISDIR(mode) ? folder : EntryKind::Other;
}

// The listing says what most entries are; the entry itself is asked only
// when it cannot (DT_UNKNOWN on some file systems) and a link's target only
// for a link: a link to a file stands for that file, one to a folder is
// never entered.
EntryKind kindOf(int folder, const dirent& entry) {
    struct stat info {};
    switch (entry.d_type) {
        case DT_REG:
            return EntryKind::File;
        case DT_DIR:
            return EntryKind::Folder;
        case DT_UNKNOWN:
            if (::fstatat(folder, entry.d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) return EntryKind::Other;
            if (!S_ISLNK(info.st_mode)) return kindOfMode(info.st_mode, EntryKind::Folder);
            [[fallthrough]];
        case DT_LNK:
            if (::fstatat(folder, entry.d_name, &info, 0) != 0) return EntryKind::Other;
            return kindOfMode(info.st_mode, EntryKind::Link);
        default:
            return EntryKind::Other;
    }
}

// O_DIRECTORY refuses anything but a folder before a FIFO or a device could
// be opened, so no open here can block.
constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

}  // namespace

struct OpenFolder::Impl {
    explicit Impl(DIR* opened) : dir(opened) {}
    ~Impl() { ::closedir(dir); }
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;
    DIR* dir;
};

OpenFolder::OpenFolder() = default;
OpenFolder::OpenFolder(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}
OpenFolder::OpenFolder(OpenFolder&& other) noexcept = default;
OpenFolder& OpenFolder::operator=(OpenFolder&& other) noexcept = default;
OpenFolder::~OpenFolder() = default;

namespace {

std::unique_ptr<DIR, int (*)(DIR*)> folderFrom(int fd, std::error_code& error) {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(nullptr, ::closedir);
    if (fd < 0) {
        error = posix::lastError();
        return dir;
    }
    dir.reset(::fdopendir(fd));
    if (!dir) {
        error = posix::lastError();
        ::close(fd);
    }
    return dir;
}

}  // namespace

OpenFolder OpenFolder::open(const std::string& path, std::error_code& error) {
    error.clear();
    auto dir = folderFrom(::open(path.c_str(), kFolderFlags), error);
    if (!dir) return {};
    return OpenFolder(std::make_unique<Impl>(dir.release()));
}

OpenFolder OpenFolder::openSubfolder(const std::string& name, std::error_code& error) const {
    error.clear();
    if (!m_impl || name.empty() || name.find('/') != std::string::npos || name == "." || name == "..") {
        error = std::make_error_code(std::errc::invalid_argument);
        return {};
    }
    auto dir = folderFrom(::openat(::dirfd(m_impl->dir), name.c_str(), kFolderFlags | O_NOFOLLOW), error);
    if (!dir) return {};
    return OpenFolder(std::make_unique<Impl>(dir.release()));
}

bool OpenFolder::isOpen() const { return m_impl != nullptr; }

std::error_code OpenFolder::list(const std::function<void(const FolderEntry&)>& take) const {
    if (!m_impl) return std::make_error_code(std::errc::bad_file_descriptor);
    ::rewinddir(m_impl->dir);
    FolderEntry entry;
    for (;;) {
        errno = 0;
        const dirent* found = ::readdir(m_impl->dir);
        if (!found) return errno == 0 ? std::error_code() : posix::lastError();
        const std::string_view name = found->d_name;
        if (name == "." || name == "..") continue;
        entry.name.assign(name);
        entry.kind = kindOf(::dirfd(m_impl->dir), *found);
        entry.hidden = name.front() == '.';
        take(entry);
    }
}

bool isFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace mirvane::platform
