#pragma once
// The files a run keeps for the next one (the list's journal) and the lock
// that keeps two copies of the program from sharing them. What is read back
// is trusted only when it is the user's own: each check is made through the
// descriptor that is then read, so nothing put at the name meanwhile counts.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>

namespace mirvane::platform {

// Which file an entry is, whatever its name: the device and inode on POSIX
// systems, the volume's serial number and the file's index on Windows.
struct FileId {
    std::uint64_t volume = 0;
    std::uint64_t file = 0;

    bool operator==(const FileId&) const = default;
};

// The identity of the entry at path itself (a link's own, not its target's).
std::error_code fileId(const std::string& path, FileId& identity);

// Removes the entry at path only while it is a regular file with this
// identity, never a link or what someone put in its place. Nothing for a
// missing entry; std::errc::operation_not_permitted for another file.
std::error_code removeFileWithId(const std::string& path, const FileId& identity);

// A journal that is written by appending and now and then replaced whole.
// It stays open from its opening to its removal or the object's end.
class JournalFile {
public:
    JournalFile();
    JournalFile(JournalFile&& other) noexcept;
    JournalFile& operator=(JournalFile&& other) noexcept;
    JournalFile(const JournalFile&) = delete;
    JournalFile& operator=(const JournalFile&) = delete;
    ~JournalFile();

    // Opens the journal at path to read it: only a regular file, not through
    // a link, of this user's, that no other user may write and that has no
    // other name. std::errc::no_such_file_or_directory when there is none;
    // std::errc::permission_denied for one that is not the user's own
    // (error names the reason in its message only as the system's code).
    static JournalFile openExisting(const std::string& path, std::error_code& error);

    bool isOpen() const;
    // The whole content, read through the open file; std::errc::file_too_large
    // beyond maxBytes, without more than that ever being held.
    std::error_code readAll(std::size_t maxBytes, std::string& content);
    // Writes content after the end and waits until it is on the disk.
    std::error_code append(std::string_view content);
    // Replaces the journal at path with content, whole: a crash at any
    // instant leaves the old journal or the new one. This object then holds
    // the new one, to append to.
    std::error_code replace(const std::string& path, std::string_view content);
    // Empties the file held and removes its name when the name is still this
    // file's, so that no list comes back from it; the object is then closed.
    void remove(const std::string& path);

    // What this object has asked of the disk: bytes written and waits for
    // them to reach it.
    std::uint64_t bytesWritten() const { return m_bytesWritten; }
    std::uint64_t syncs() const { return m_syncs; }

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    std::uint64_t m_bytesWritten = 0;
    std::uint64_t m_syncs = 0;
};

// A lock file of this user's, held exclusively for the process's life
// (flock on POSIX systems, a file opened without sharing on Windows).
class HeldLock {
public:
    HeldLock();
    HeldLock(HeldLock&& other) noexcept;
    HeldLock& operator=(HeldLock&& other) noexcept;
    HeldLock(const HeldLock&) = delete;
    HeldLock& operator=(const HeldLock&) = delete;
    ~HeldLock();

    // Makes the lock file when missing (never through a link) and takes it.
    // std::errc::resource_unavailable_try_again when another process holds
    // it; std::errc::permission_denied when the file is not the user's own
    // regular file.
    static HeldLock take(const std::string& path, std::error_code& error);
    bool isHeld() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace mirvane::platform
