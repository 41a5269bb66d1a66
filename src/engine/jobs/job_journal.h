#pragma once
// The job list's journal: what a start after a crash or a power cut needs to
// give the user the rows back. The rows (exact path bytes, status, reason)
// and the working files of the jobs that were running, in a small binary form:
//
//   version 1: "MRVJ", 1 (4 bytes), working file (string, empty for none),
//              row count (4 bytes), then the rows
//   version 2: "MRVJ", 2 (4 bytes), working file count (4 bytes, at least 2),
//              the working files (strings, none empty), row count, the rows
//   per row:   status (1 byte), path (string), reason (string)
//
// Version 1 is written whenever at most one job runs, so that a journal
// stays readable by a program that knows no other; version 2 only for more.
// A string is a 4-byte length and its bytes, and every number is
// unsigned and little-endian whatever the machine. The reader trusts nothing:
// a file from a crash, a disk or another program may hold anything.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/jobs/job_list.h"

namespace mirvane {

inline constexpr std::string_view kJournalMagic = "MRVJ";
inline constexpr std::uint32_t kJournalVersionOneJob = 1;
inline constexpr std::uint32_t kJournalVersionSeveralJobs = 2;
// Hundreds of thousands of long names fit; a larger file is not one of ours
// and is never read whole.
inline constexpr std::size_t kJournalMaxSize = 64 * 1024 * 1024;

struct JobJournal {
    std::vector<JobRow> rows;
    // The files the running jobs were writing, none empty.
    std::vector<std::string> workingFiles;

    bool operator==(const JobJournal&) const = default;
};

// Nothing when the journal would be larger than kJournalMaxSize. Empty
// working file names are left out.
std::optional<std::string> EncodeJobJournal(std::span<const JobRow> rows,
                                            std::span<const std::string> workingFiles);

// Nothing unless bytes are exactly one journal as EncodeJobJournal writes it:
// a known version and status, a reason only on a failed row, no length past
// the end, nothing left over.
std::optional<JobJournal> DecodeJobJournal(std::string_view bytes);

}  // namespace mirvane
