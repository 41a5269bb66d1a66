#include "engine/jobs/journal_keeper.h"

#include <algorithm>
#include <new>
#include <system_error>
#include <utility>

namespace mirvane {

namespace {

// Below this, a small list's journal is not written whole again and again:
// its changes are left to grow to this size first.
constexpr std::size_t kSmallestWholeRewrite = 64 * 1024;
// The changes appended may grow to this many times the whole journal: the
// rewrite then adds half a change's bytes to each change, and the file stays
// within three times the list's size.
constexpr std::size_t kWholeRewriteAfter = 2;

bool sameNames(const std::vector<JournalWorkingFile>& a, const std::vector<JournalWorkingFile>& b) {
    return std::equal(
        a.begin(), a.end(), b.begin(), b.end(),
        [](const JournalWorkingFile& x, const JournalWorkingFile& y) { return x.path == y.path; });
}

}  // namespace

JournalKeeper::JournalKeeper(JobListView& view, const std::string& path) : m_view(view), m_path(path) {}

JournalKeeper::Hold::~Hold() {
    if (--m_keeper.m_holds == 0 && m_keeper.m_due) m_keeper.write();
}

std::optional<JobJournal> JournalKeeper::takeOver(const JobList& jobs) {
    m_jobs = &jobs;
    if (m_path.empty()) return std::nullopt;
    m_keeping = true;
    std::error_code error;
    m_file = platform::JournalFile::openExisting(m_path, error);
    if (error == std::errc::no_such_file_or_directory) return std::nullopt;
    std::string bytes;
    std::optional<JobJournal> journal;
    if (!error && !m_file.readAll(kJournalMaxSize, bytes)) journal = DecodeJobJournal(bytes);
    if (!journal) {
        m_file.remove(m_path);
        return std::nullopt;
    }
    // Written anew, whole: what a crash cut short at its end is left out
    // before anything is appended after it.
    m_due = true;
    return journal;
}

void JournalKeeper::setWorkingFiles(std::vector<JournalWorkingFile> files) {
    const bool learnt = sameNames(files, m_workingFiles) && files != m_workingFiles;
    m_workingFiles = std::move(files);
    m_record.workingFilesChanged(m_workingFiles);
    if (learnt) changed();
}

void JournalKeeper::stop() {
    if (m_keeping) m_file.remove(m_path);
    m_keeping = false;
}

void JournalKeeper::rowsAppended(std::span<const JobRow> rows) {
    m_view.rowsAppended(rows);
    if (m_keeping && !m_failed) m_record.rowsAppended(rows);
    changed();
}

void JournalKeeper::rowChanged(int row, const JobRow& data) {
    m_view.rowChanged(row, data);
    if (m_keeping && !m_failed) m_record.rowChanged(row, data);
    changed();
}

void JournalKeeper::rowsRemoved(const std::vector<int>& rows) {
    m_view.rowsRemoved(rows);
    if (m_keeping && !m_failed) m_record.rowsRemoved(rows);
    changed();
}

void JournalKeeper::rowsCleared() {
    m_view.rowsCleared();
    if (m_keeping && !m_failed) m_record.rowsCleared();
    changed();
}

void JournalKeeper::changed() {
    if (m_holds > 0) {
        m_due = true;
    } else {
        write();
    }
}

void JournalKeeper::write() {
    m_due = false;
    if (!m_keeping || m_failed) {
        m_record.clear();
        return;
    }
    // Called from a hold's end too: not even a list too large to copy may throw.
    try {
        bool written = false;
        const std::string record = m_record.framed();
        m_record.clear();
        if (m_wholeDue || !m_file.isOpen() || m_jobs->size() > static_cast<int>(kJournalMaxRows) ||
            m_appendedBytes + record.size() >
                std::max(kWholeRewriteAfter * m_wholeBytes, kSmallestWholeRewrite)) {
            written = writeWhole();
        } else {
            written = record.empty() || !m_file.append(record);
            m_appendedBytes += record.size();
        }
        if (written) return;
    } catch (const std::bad_alloc&) {
    }
    giveUp();
}

bool JournalKeeper::writeWhole() {
    const std::optional<std::string> bytes = EncodeJobJournal(m_jobs->rows(), m_workingFiles);
    if (!bytes || m_file.replace(m_path, *bytes)) return false;
    m_wholeDue = false;
    m_wholeBytes = bytes->size();
    m_appendedBytes = 0;
    return true;
}

// A journal that cannot follow the list would bring a stale one back.
void JournalKeeper::giveUp() {
    m_failed = true;
    m_record.clear();
    m_file.remove(m_path);
}

}  // namespace mirvane
