#pragma once
// The job list's journal: what a start after a crash or a power cut needs to
// give the user the rows back. The rows (exact path bytes, status, reason)
// and the working files of the jobs that were running, with the identity of
// each file once it exists.
//
// The journal is a header ("MRVJ", version 3) and records, each a 4-byte
// length, the CRC-32 of its body and the body: one or more changes, applied
// together or not at all. The first record holds the whole list (a
// snapshot); the others each hold what one change of the list did (rows
// appended, a row's status, rows removed, the list cleared, the working
// files), so that a change costs the same whatever the list's length. A
// record that does not end within the file or whose sum does not match is
// where a crash cut the last write short: it and anything after it are
// ignored. A record that matches its sum but breaks a rule is not ours, and
// the whole journal is refused.
//
//   change ops: 1 snapshot: row count, rows, working file count, files
//               2 rows appended: count, rows
//               3 a row's status: index, status (1 byte), reason
//               4 rows removed: count, indices in ascending order
//               5 every row removed
//               6 the working files: count, files
//   row:          status (1 byte), path, reason
//   working file: path, 1 and the identity (volume, file: 8 bytes each) or 0
//
// Strings are a 4-byte length and their bytes; every number is unsigned and
// little-endian whatever the machine. The two earlier versions (1: one
// working file, 2: several, both without identities) are still read, so a
// list kept by an earlier release comes back once.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/jobs/job_list.h"
#include "engine/jobs/paths.h"
#include "engine/platform/journal_file.h"

namespace mirvane {

inline constexpr std::string_view kJournalMagic = "MRVJ";
inline constexpr std::uint32_t kJournalVersion = 3;
// Bounds a journal of ours never passes: a larger file, more rows, a longer
// name is not ours and is never read whole. A name as long as Windows opens
// (32,767 UTF-16 units) fits in UTF-8.
inline constexpr std::size_t kJournalMaxSize = 64 * 1024 * 1024;
inline constexpr std::size_t kJournalMaxSnapshot = kJournalMaxSize / 4;
inline constexpr std::size_t kJournalMaxRows = 200'000;
inline constexpr std::size_t kJournalMaxString = 3 * 32'767;
inline constexpr std::size_t kJournalMaxWorkingFiles = 1024;

struct JournalWorkingFile {
    std::string path;
    // Known once the file has been made: only that very file is removed.
    std::optional<platform::FileId> identity;

    bool operator==(const JournalWorkingFile&) const = default;
};

struct JobJournal {
    std::vector<JobRow> rows;
    // The files the running jobs were writing, none empty.
    std::vector<JournalWorkingFile> workingFiles;

    bool operator==(const JobJournal&) const = default;
};

// A whole journal holding the rows and the working files (empty names left
// out); nothing when it would pass the bounds or a name holds a NUL.
std::optional<std::string> EncodeJobJournal(std::span<const JobRow> rows,
                                            std::span<const JournalWorkingFile> workingFiles);

// One record of changes, made of the list's own notices in their order.
class JournalRecord {
public:
    void rowsAppended(std::span<const JobRow> rows);
    void rowChanged(int row, const JobRow& data);
    void rowsRemoved(const std::vector<int>& rows);
    void rowsCleared();
    void workingFilesChanged(std::span<const JournalWorkingFile> files);

    bool empty() const { return m_body.empty(); }
    void clear() { m_body.clear(); }
    // The record as appended to a journal: length, sum, body.
    std::string framed() const;

private:
    std::string m_body;
};

// The list a journal leaves: nothing unless bytes begin with a whole
// snapshot and every record up to the first cut short is one of ours
// (known ops, statuses and versions, a reason only on a failed row, no NUL
// in a name, indices within the list, every bound kept).
std::optional<JobJournal> DecodeJobJournal(std::string_view bytes);

// True for a name an output is written under until it is complete: its
// stem (the name less its extension) ends in "(変換中)" or "(変換中 N)".
bool IsWorkingOutputName(std::string_view path, PathStyle style = kNativePathStyle);

}  // namespace mirvane
