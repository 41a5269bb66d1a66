// Any bytes as a journal, as a crash, a disk or another program may leave
// one: decoding never fails badly, and what it accepts is exactly what
// encoding those rows gives back, so nothing is read past the end and no two
// journals mean the same list.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "engine/jobs/job_journal.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto journal = mirvane::DecodeJobJournal(bytes);
    if (!journal) return 0;
    // What was read is written again whole, and reads back the same.
    const auto bytesAgain = mirvane::EncodeJobJournal(journal->rows, journal->workingFiles);
    if (!bytesAgain || mirvane::DecodeJobJournal(*bytesAgain) != journal) std::abort();
    return 0;
}
