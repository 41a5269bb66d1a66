#pragma once
// The job list's journal: what a start after a crash or a power cut needs to
// give the user the rows back. The rows (exact path bytes, status, reason)
// and the working file of the job that was running, in a small binary form:
//
//   "MRVJ", version (4 bytes), working file (string), row count (4 bytes),
//   then per row: status (1 byte), path (string), reason (string)
//
// where a string is a 4-byte length and its bytes, and every number is
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
inline constexpr std::uint32_t kJournalVersion = 1;
// Hundreds of thousands of long names fit; a larger file is not one of ours
// and is never read whole.
inline constexpr std::size_t kJournalMaxSize = 64 * 1024 * 1024;

struct JobJournal {
    std::vector<JobRow> rows;
    // The file the running job was writing; empty when none ran.
    std::string workingFile;

    bool operator==(const JobJournal&) const = default;
};

// Nothing when the journal would be larger than kJournalMaxSize.
std::optional<std::string> EncodeJobJournal(std::span<const JobRow> rows, std::string_view workingFile);

// Nothing unless bytes are exactly one journal of this version: a known
// status, a reason only on a failed row, no length past the end, nothing left over.
std::optional<JobJournal> DecodeJobJournal(std::string_view bytes);

}  // namespace mirvane
