// One folder's entries, for the walk of a dropped folder.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <memory>

#include "engine/platform/files.h"
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

}  // namespace

bool isFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::error_code listFolder(const std::string& folder, const std::function<void(const FolderEntry&)>& take) {
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir) return posix::lastError();
    FolderEntry entry;
    for (;;) {
        errno = 0;
        const dirent* found = ::readdir(dir.get());
        if (!found) return errno == 0 ? std::error_code() : posix::lastError();
        const std::string_view name = found->d_name;
        if (name == "." || name == "..") continue;
        entry.name.assign(name);
        entry.kind = kindOf(::dirfd(dir.get()), *found);
        entry.hidden = name.front() == '.';
        take(entry);
    }
}

}  // namespace mirvane::platform
