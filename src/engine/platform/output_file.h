#pragma once
// The encoder's output file. The encoder overwrites whatever its output name
// reaches, so the file is made by Mirvane itself, exclusively, and the
// encoder is handed a name that can only reach that very file: a name
// another user plants in a shared folder after the check cannot redirect it.

#include <cstdint>
#include <memory>
#include <string>
#include <system_error>

namespace mirvane::platform {

struct FileId;

// The file the encoder writes, made by Mirvane itself under a working name in
// the output's folder and given its final name only once it is complete.
class WorkingFile {
public:
    WorkingFile();
    WorkingFile(WorkingFile&& other) noexcept;
    WorkingFile& operator=(WorkingFile&& other) noexcept;
    WorkingFile(const WorkingFile&) = delete;
    WorkingFile& operator=(const WorkingFile&) = delete;
    // Discards the file unless it was committed.
    ~WorkingFile();

    // Creates the file at path exclusively and without following links: any
    // entry already there (a file, a link, a dangling link, a folder, a FIFO)
    // fails it with std::errc::file_exists, so that the naming can move on.
    static WorkingFile create(const std::string& path, std::error_code& error);

    bool isOpen() const;
    // The working name, as created.
    const std::string& path() const;
    // The name to hand the encoder: it reaches this very file whatever anyone
    // puts at path() meanwhile, and ends in path()'s extension (the encoder
    // picks the format from it).
    const std::string& encoderPath() const;
    // The file's size now, read through what Mirvane holds.
    std::error_code size(std::uint64_t& bytes) const;
    // Flushes the file to disk and gives it finalPath, never replacing an entry
    // there: std::errc::file_exists when finalPath is taken (the file then keeps
    // its working name and stays this object's). After success the object no
    // longer owns a file.
    // When path() no longer names this very file (someone moved it and put
    // something else there), std::errc::no_such_file_or_directory, and the
    // entry at path() is left alone. The encoder must have ended: on Windows
    // its open file keeps the name from being taken over.
    std::error_code commit(const std::string& finalPath);
    // Removes the working file, only if the entry at path() is still this very
    // file (never what someone put in its place), and releases it.
    void discard();

private:
    struct Impl;
    explicit WorkingFile(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;

public:
    // Which file Mirvane holds (journal_file.h), so that a later start
    // removes that file only, whatever then bears its name.
    std::error_code identity(FileId& identity) const;
};

}  // namespace mirvane::platform
