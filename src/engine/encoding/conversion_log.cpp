#include "engine/encoding/conversion_log.h"

#include <mutex>
#include <utility>

#include "engine/platform/files.h"
#include "engine/platform/local_time.h"

namespace mirvane {

std::error_code WriteLog(const std::string& logFile, std::string_view text, PathStyle style) {
    std::error_code error;
    platform::File file = platform::File::openExistingForAppend(logFile, error);
    std::string record;
    // Most often the file is missing after the deletion at the batch's start;
    // whatever kept it from opening, a new file is the way on.
    if (!file.isOpen()) {
        file = platform::File::createAlways(logFile, error);
        if (!file.isOpen()) return error;
        // Without the mark, Notepad before Windows 10 1903 and editors set
        // to the ANSI code page (Shift-JIS) read the UTF-8 log garbled.
        if (style == PathStyle::Windows) record = "\xEF\xBB\xBF";
    }

    record.reserve(record.size() + text.size() + 2);
    record.append(text).append("\r\n");
    // One write for the whole record, so a reader never sees half of one.
    std::error_code writeError = file.write(record);
    std::error_code closeError = file.close();
    return writeError ? writeError : closeError;
}

JobLog::JobLog(std::string logFile, bool writeThrough, PathStyle style)
    : m_logFile(std::move(logFile)), m_style(style), m_writeThrough(writeThrough) {}

void JobLog::add(std::string_view record) {
    const std::lock_guard<std::mutex> lock(m_lock);
    if (m_writeThrough) {
        write(record);
        return;
    }
    if (!m_kept.empty()) m_kept += "\r\n";
    m_kept += record;
}

void JobLog::writeThrough() {
    const std::lock_guard<std::mutex> lock(m_lock);
    if (m_writeThrough) return;
    m_writeThrough = true;
    write(m_kept);
    m_kept.clear();
}

void JobLog::finish() {
    const std::lock_guard<std::mutex> lock(m_lock);
    write(m_kept);
    m_kept.clear();
}

void JobLog::write(std::string_view records) {
    if (records.empty() || m_failed) return;
    m_failed = static_cast<bool>(WriteLog(m_logFile, records, m_style));
}

std::string FormatRunHeader(const std::tm& localTime) {
    std::string header = "■" + platform::localeShortDate(localTime);
    const bool midnight = localTime.tm_hour == 0 && localTime.tm_min == 0 && localTime.tm_sec == 0;
    if (!midnight) header += " " + platform::localeTimeOfDay(localTime);
    return header + "■";
}

std::string RunHeaderNow() {
    // Jobs that start together ask at once, and the C library's time zone
    // and locale state is shared: glibc guards it with locks that thread
    // checkers cannot see, and not every C library guards it at all.
    static std::mutex oneAtATime;
    const std::lock_guard<std::mutex> lock(oneAtATime);
    return FormatRunHeader(platform::localTimeNow());
}

void DeleteLogForNewBatch(bool logEnabled, const std::string& logFile) {
    if (logEnabled && platform::entryExists(logFile)) platform::deleteFile(logFile);
}

}  // namespace mirvane
