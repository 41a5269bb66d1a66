#pragma once
// Files and their tests. No system type appears here: each system keeps
// its own state in its own implementation files.

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace mirvane::platform {

// Full path of the running executable (the real file, links resolved).
std::string executablePath();

// The process's working folder as the system gives it; empty when it has
// none any more (it was removed) or cannot say.
std::string currentFolder();

// True for any entry at the path, whatever its kind: a regular file, a folder,
// a link (also a dangling one), a FIFO, a socket, a device. A name for which
// this is true is never one to write a new file to.
bool entryExists(const std::string& path);

// True for a folder, also one reached through a link.
bool isFolder(const std::string& path);

// What an entry of a folder is. File: a regular file, also through a link to
// one. Folder: a folder itself. Link: a link to a folder (on Windows any
// link-like reparse point, a junction too), never to be entered. Other:
// anything else (a dangling link, a device, a FIFO, a socket).
enum class EntryKind { File, Folder, Link, Other };

struct FolderEntry {
    // The name's exact bytes (UTF-8 on Windows).
    std::string name;
    EntryKind kind = EntryKind::Other;
    // Hidden the system's way: a leading '.' on POSIX systems, the hidden or
    // system attribute on Windows.
    bool hidden = false;
};

// True for a regular file (links followed) that this process may read.
bool isReadableFile(const std::string& path);

// True for a regular file (links followed) that this process may execute.
bool isExecutableFile(const std::string& path);

// The path's short (8.3) form, made of each of its names' short one where
// the volume keeps one and the long one where it keeps none; nothing for a
// path that cannot be found, or on a system without short names.
std::optional<std::string> shortPath(const std::string& path);

// Deletes a file; false when it could not be deleted.
bool deleteFile(const std::string& path);

// Reads a whole regular file into content. A file larger than maxBytes is
// refused (std::errc::file_too_large) without more than maxBytes of it ever
// being held in memory; anything but a regular file is refused too.
std::error_code readFile(const std::string& path, std::size_t maxBytes, std::string& content);

// Replaces the file's whole content so that a crash or a power cut at any
// instant leaves either the old content or the new, whole. The new content
// goes to a temporary beside it (path + ".new", made anew, never through a
// link), reaches the disk, then takes the file's place in one rename; the
// temporary is removed on any failure.
std::error_code replaceFileContents(const std::string& path, std::string_view content);

// A regular file opened for writing only, closed by close() or the
// destructor. Opening never blocks, and anything but a regular file (a FIFO,
// a device, a socket, a folder) is refused.
class File {
public:
    File();
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File();

    // Opens an existing file and positions writes at its end.
    static File openExistingForAppend(const std::string& path, std::error_code& error);
    // Creates the file, or truncates it when it exists; others may read it.
    static File createAlways(const std::string& path, std::error_code& error);

    bool isOpen() const;
    std::error_code write(std::string_view data);
    std::error_code close();

private:
    struct Impl;
    explicit File(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
};

}  // namespace mirvane::platform
