#include "engine/jobs/journal_keeper.h"

#include <new>
#include <utility>

#include "engine/platform/files.h"

namespace mirvane {

JournalKeeper::JournalKeeper(JobListView& view, const JobList& jobs, const std::string& path)
    : m_view(view), m_jobs(jobs), m_path(path) {}

JournalKeeper::Hold::~Hold() {
    if (--m_keeper.m_holds == 0 && m_keeper.m_due) m_keeper.write();
}

std::optional<JobJournal> JournalKeeper::takeOver() {
    if (m_path.empty()) return std::nullopt;
    m_keeping = true;
    if (!platform::entryExists(m_path)) return std::nullopt;
    std::string bytes;
    std::optional<JobJournal> journal;
    if (!platform::readFile(m_path, kJournalMaxSize, bytes)) journal = DecodeJobJournal(bytes);
    if (!journal) {
        platform::deleteFile(m_path);
        return std::nullopt;
    }
    m_due = true;
    return journal;
}

void JournalKeeper::setWorkingFiles(std::vector<std::string> paths) { m_workingFiles = std::move(paths); }

void JournalKeeper::stop() {
    if (m_keeping) platform::deleteFile(m_path);
    m_keeping = false;
}

void JournalKeeper::rowsAppended(std::span<const JobRow> rows) {
    m_view.rowsAppended(rows);
    changed();
}

void JournalKeeper::rowChanged(int row, const JobRow& data) {
    m_view.rowChanged(row, data);
    changed();
}

void JournalKeeper::rowsRemoved(const std::vector<int>& rows) {
    m_view.rowsRemoved(rows);
    changed();
}

void JournalKeeper::rowsCleared() {
    m_view.rowsCleared();
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
    if (!m_keeping || m_failed) return;
    ++m_writes;
    // Called from a hold's end too: not even a list too large to copy may throw.
    try {
        const std::optional<std::string> bytes = EncodeJobJournal(m_jobs.rows(), m_workingFiles);
        if (bytes && !platform::replaceFileContents(m_path, *bytes)) return;
    } catch (const std::bad_alloc&) {
    }
    m_failed = true;
    platform::deleteFile(m_path);
}

}  // namespace mirvane
