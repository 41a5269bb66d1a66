#pragma once
// Keeps the job list's journal on disk as current as the rows, so that a
// crash or a power cut costs the user nothing they had dropped. It stands
// between the list and the window: each change goes on to the window, then
// what it did is appended to the journal as one record and waited for. A
// change costs the same whatever the list's length: the journal is written
// whole only when the changes appended since it was last written whole have
// grown to twice its size (and at the first write of a run). Writing never
// decides anything: the first failure empties and deletes the journal, so
// that no stale list comes back, and ends the writing for this run, silently.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/jobs/job_journal.h"
#include "engine/jobs/job_list.h"
#include "engine/platform/journal_file.h"

namespace mirvane {

class JournalKeeper : public JobListView {
public:
    // Changes go on to view. The path is read at each use. Nothing is written
    // before takeOver(), nor anything at all with an empty path.
    JournalKeeper(JobListView& view, const std::string& path);

    // Starts keeping the journal of jobs (the list whose view this keeper
    // is) and returns what a run that did not end normally left in it. Only
    // the user's own journal is read (journal_file.h); one that is not, or
    // that cannot be read or decoded, is deleted. One that was found is
    // written anew, whole, at the next change or the end of the current hold.
    std::optional<JobJournal> takeOver(const JobList& jobs);
    // The files the running jobs write; none once they are done. A new name
    // is written with the next change of the rows (a job's status follows
    // at once), so that a job's start and its end cost one write each; an
    // identity learnt for a name already written is written at once.
    void setWorkingFiles(std::vector<JournalWorkingFile> files);
    // A normal end: the journal is deleted and nothing more is written.
    void stop();

    // Writes at most once, when the hold ends, for changes made of many
    // calls (every failed row reset, a restored list and the files after it).
    class Hold {
    public:
        explicit Hold(JournalKeeper& keeper) : m_keeper(keeper) { ++m_keeper.m_holds; }
        ~Hold();
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

    private:
        JournalKeeper& m_keeper;
    };

    // What has been asked of the disk: bytes written, waits for them.
    std::uint64_t bytesWritten() const { return m_file.bytesWritten(); }
    std::uint64_t syncs() const { return m_file.syncs(); }

    void rowsAppended(std::span<const JobRow> rows) override;
    void rowChanged(int row, const JobRow& data) override;
    void rowsRemoved(const std::vector<int>& rows) override;
    void rowsCleared() override;

private:
    void changed();
    void write();
    bool writeWhole();
    void giveUp();

    JobListView& m_view;
    // Known from takeOver() on: the list is made with its keeper as its view.
    const JobList* m_jobs = nullptr;
    const std::string& m_path;
    platform::JournalFile m_file;
    // The changes not yet written.
    JournalRecord m_record;
    std::vector<JournalWorkingFile> m_workingFiles;
    // The size of the journal last written whole, and of what was appended since.
    std::size_t m_wholeBytes = 0;
    std::size_t m_appendedBytes = 0;
    bool m_wholeDue = true;
    bool m_keeping = false;
    bool m_failed = false;
    bool m_due = false;
    int m_holds = 0;
};

}  // namespace mirvane
