#pragma once
// The encoder's output. The encoder overwrites whatever its output name
// reaches, so the output is made by Mirvane itself, exclusively, and the
// encoder is handed a name that can only reach what Mirvane made: a name
// another user plants in a shared folder after the check cannot redirect it.
// A complete output gets its final name from what Mirvane holds, never by
// moving a name others could have swapped.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace mirvane::platform {

struct FileId;

// What a job's input is, its links followed: a regular file, nothing at all,
// or something else (a folder, a FIFO, a device, a socket) that no encoder
// run would ever finish reading.
enum class InputKind { File, Missing, Other };
InputKind inputKind(const std::string& path);

// Whether name (one component, no separator) fits the limit of the file
// system that holds folder: bytes on Linux, UTF-16 units on Windows.
bool nameFits(const std::string& folder, std::string_view name);

// The file the encoder writes, made by Mirvane itself under a working name in
// the output's folder and given its final name only once it is complete.
class WorkingFile {
public:
    WorkingFile();
    WorkingFile(WorkingFile&& other) noexcept;
    WorkingFile& operator=(WorkingFile&& other) noexcept;
    WorkingFile(const WorkingFile&) = delete;
    WorkingFile& operator=(const WorkingFile&) = delete;
    // Discards the file unless it was committed or kept.
    ~WorkingFile();

    // Creates the file at path exclusively and without following links: any
    // entry already there (a file, a link, a dangling link, a folder, a FIFO)
    // fails it with std::errc::file_exists, so that the naming can move on.
    // With an input, the file is never more readable than it (its permission
    // bits at most the input's).
    static WorkingFile create(const std::string& path, std::error_code& error, const std::string& input = {});

    bool isOpen() const;
    // The working name, as created.
    const std::string& path() const;
    // The name to hand the encoder: it reaches this very file whatever anyone
    // puts at path() meanwhile, and ends in path()'s extension (the encoder
    // picks the format from it). Where no one else may rename in the folder,
    // path() itself.
    const std::string& encoderPath() const;
    // The file's size now, read through what Mirvane holds.
    std::error_code size(std::uint64_t& bytes) const;
    // Flushes the file to disk, then gives the very file Mirvane holds the
    // name finalPath (in path()'s folder), never replacing an entry there:
    // std::errc::file_exists when finalPath is taken (the file then stays
    // this object's). The working name is then removed only where it still
    // names this file. After success the object no longer owns a file. The
    // encoder must have ended: on Windows its open file keeps the name from
    // being taken over.
    std::error_code commit(const std::string& finalPath);
    // Leaves the file under its working name for good, flushed; nothing
    // removes it afterwards. Fails when the name no longer reaches this file.
    std::error_code keep();
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

// The folder an encoder that writes several files (a playlist and its
// segments, an image sequence) writes into: made by Mirvane itself, closed
// to others, inside the output's folder. Once the job is complete its files
// move beside it, each under its own name, all or none.
class WorkingFolder {
public:
    WorkingFolder();
    WorkingFolder(WorkingFolder&& other) noexcept;
    WorkingFolder& operator=(WorkingFolder&& other) noexcept;
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;
    // Discards the folder and what is in it unless it was committed or kept.
    ~WorkingFolder();

    // Creates the folder at path exclusively (std::errc::file_exists on any
    // entry there). With an input, no file it ends up holding is more
    // readable than the input.
    static WorkingFolder create(const std::string& path, std::error_code& error,
                                const std::string& input = {});

    bool isOpen() const;
    const std::string& path() const;
    // The name to hand the encoder for the file fileName inside the folder:
    // it reaches this very folder whatever anyone does to path() meanwhile.
    std::string encoderPath(const std::string& fileName) const;
    // The bytes of every file in it now.
    std::error_code size(std::uint64_t& bytes) const;
    // Flushes every file, then gives each its own name in the folder that
    // holds this one, never replacing: when any of those names is taken,
    // none is given (std::errc::file_exists, the name in `taken`). moved
    // gets the final paths. Anything but regular files stays, with the
    // folder.
    std::error_code commit(std::vector<std::string>& moved, std::string& taken);
    // Leaves the folder and its files for good; nothing removes them.
    void keep();
    // Removes the files in it and the folder, only what this object made.
    void discard();

private:
    struct Impl;
    explicit WorkingFolder(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
};

// Removes what runs that ended in mid-job (a kill -9, a power cut) left
// outside the outputs' folders: on Linux the private link folders of this
// user's runs whose process is gone. Nothing on Windows, which makes none.
void sweepLeftoverLinkFolders();

// The order in which a commit flushes and names, seen by tests: "flush",
// "name". Empty by default.
using CommitStepObserver = std::function<void(std::string_view step)>;
void observeCommitSteps(CommitStepObserver observer);

}  // namespace mirvane::platform
