#pragma once
// The conversion log: a plain text file for people, one record per call,
// each record complete on disk when WriteLog returns.

#include <cstddef>
#include <ctime>
#include <mutex>
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

// One job's records. While other jobs run beside it they are kept and
// written as one block once the job is over, so that jobs never interleave
// their records; a job that runs alone writes each record as it comes, so
// the log follows the encoder. Once a write fails, the job's remaining
// records are dropped: the log is a record for people and never decides a
// conversion.
class JobLog {
public:
    // writeThrough: each record is written as it comes from the start.
    explicit JobLog(std::string logFile, bool writeThrough = true, PathStyle style = kNativePathStyle);

    // From any thread.
    void add(std::string_view record);
    // The job now runs alone: what was kept is written, and each record after it as it comes.
    void writeThrough();
    // The job is over: what is kept is written as one block.
    void finish();

private:
    // Called with the lock held.
    void write(std::string_view records);

    std::mutex m_lock;
    const std::string m_logFile;
    const PathStyle m_style;
    std::string m_kept;  // separated by CR LF; WriteLog ends the last
    bool m_writeThrough;
    bool m_failed = false;
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
