#pragma once
// The conversion log: a plain text file for people, one record per call,
// each record complete on disk when WriteLog returns.

#include <cstddef>
#include <ctime>
#include <string>
#include <string_view>
#include <system_error>

#include "engine/formats/path_style.h"

namespace mirvane {

// At most this much of one job's encoder output goes into the log: a runaway
// encoder must not fill the disk through it.
inline constexpr std::size_t kLoggedOutputPerJob = std::size_t{16} << 20;

// Appends text and CR LF to the log, opening an existing file for appending
// or else creating it; the file is closed before returning. A log created
// for Windows begins with the UTF-8 byte-order mark; one appended to gets
// none. A failure is returned, never thrown: the log must not decide a
// conversion's fate.
std::error_code WriteLog(const std::string& logFile, std::string_view text,
                         PathStyle style = kNativePathStyle);

// One job's records, kept while the job runs and written as one when it is
// over: jobs that run at the same time never interleave their records.
class LogBlock {
public:
    void add(std::string_view record);
    // Appends every record kept, each followed by CR LF, as WriteLog does;
    // nothing when none was kept.
    std::error_code writeTo(const std::string& logFile,
                            PathStyle style = kNativePathStyle) const;

private:
    std::string m_records;  // separated by CR LF; WriteLog ends the last
    bool m_empty = true;
};

// "■" + the user's locale's short date, a blank and the time of day + "■";
// the date alone in the first second after midnight.
std::string FormatRunHeader(const std::tm& localTime);
// The run header of the local time now; from any thread.
std::string RunHeaderNow();

// At a batch's start while logging is on: the previous batch's log goes, and
// so does anything else but a folder that stands in its place. A failed
// deletion is ignored.
void DeleteLogForNewBatch(bool logEnabled, const std::string& logFile);

}  // namespace mirvane
