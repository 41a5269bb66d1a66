#pragma once
// The batch: one press of the start button converts every pending row, in
// row order, as many at once as the settings' Jobs says, while the UI thread
// keeps handling events; a second press (or closing the window) asks every
// running job to stop.

#include <functional>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/batch/batch_progress.h"
#include "engine/batch/desktop_reporter.h"
#include "engine/desktop/batch_view.h"
#include "engine/desktop/desktop_services.h"
#include "engine/desktop/ui_thread.h"
#include "engine/encoding/batch_flags.h"
#include "engine/encoding/clock.h"
#include "engine/encoding/conversion_log.h"
#include "engine/encoding/encoder_job.h"
#include "engine/encoding/job_result.h"
#include "engine/jobs/app_paths.h"
#include "engine/jobs/job_command.h"
#include "engine/jobs/job_journal.h"
#include "engine/jobs/job_list.h"
#include "engine/platform/avisynth.h"
#include "engine/platform/output_file.h"
#include "engine/settings/presets.h"

namespace mirvane {

class BatchRunner {
public:
    // Asked once for a batch with the DirectShow choice: whether AviSynth
    // loads for the encoder at the given path.
    using AviSynthCheck = std::function<bool(const std::string& encoderPath)>;

    // desktop: told of each batch's start, progress and end.
    BatchRunner(BatchFlags& flags, UiThread& uiThread, BatchView& view, JobList& jobs, const AppPaths& paths,
                const PresetTable& presets, const Clock& clock,
                AviSynthCheck aviSynthLoads = platform::aviSynthLoads,
                DesktopServices& desktop = noDesktopServices());

    // Starts a batch while idle; during a job, asks the batch to stop.
    // Returns when the batch is over: every job it started has ended.
    void startOrStop();
    // Switches the command controls between their idle and busy look.
    void setIdleControls(bool idle);
    // The stop request of a press during a job or of a confirmed close.
    void requestStop();
    // Stops the running batch as requestStop does and returns once each of
    // its jobs has ended and its row has its status (working files removed,
    // within the same watchdog); the batch's own loop, which this call runs
    // inside of, then ends at once. Nothing happens while no batch runs.
    void stopAndWait();
    // Told the working files of every running job whenever one starts or
    // ends (none between jobs), so that a run that ends in mid-job can be
    // cleaned up after: a name before its file is made, then again with the
    // made file's identity.
    using WorkingFilesHandler = std::function<void(const std::vector<JournalWorkingFile>& files)>;
    void onWorkingFilesChanged(WorkingFilesHandler handler) { m_workingFilesChanged = std::move(handler); }

    // Holds back the record of the rows' changes (the journal) until what it
    // returns is released, so that a job's end and the next job's start are
    // recorded as one: released before the next job's file is made, so that
    // its name is on record before the file exists.
    using ChangesHold = std::function<std::shared_ptr<void>()>;
    void onHoldChanges(ChangesHold hold) { m_holdChanges = std::move(hold); }

    // True while a job runs: the controls have their busy look.
    bool busy() const { return m_busy; }
    // True from the start of a batch until startOrStop returns.
    bool isRunning() const { return m_running; }

private:
    // What the batch reads once, when it starts: the controls it comes from
    // are disabled until it is over.
    struct BatchSettings {
        JobCommandTemplate commandTemplate;
        std::string extension;
        bool directShow = false;
        bool aviSynthMissing = false;
    };
    struct Job {
        std::string rowPath;
        std::string input;   // the row's file, or the script that opens it
        std::string output;  // the final name, as free as when it was chosen
        std::string workingName;
        platform::WorkingFile working;
        // In its place, when the encoder writes several files.
        platform::WorkingFolder folder;
        bool severalFiles = false;
        // The output's name as the encoder was handed it.
        std::string encoderOutput;
        // The files the user finds once the output is kept.
        std::vector<std::string> kept;
        EncoderCommand command;
    };
    // A row whose job runs: what it reports, and what the batch keeps for it.
    struct RunningRow {
        RunningRow(int row, int scriptSlot, Job job, const std::string& logFile)
            : row(row), scriptSlot(scriptSlot), job(std::move(job)), log(logFile, false) {}

        int row = 0;
        // Which of the settings' scripts the job reads: 0 for the usual one,
        // others only beside another running job.
        int scriptSlot = 0;
        Job job;
        // Kept while other jobs run beside it, written through once it runs alone.
        JobLog log;
        std::optional<JobResult> ended;
        // When this job's stop was first seen by the waiting loop.
        std::optional<Clock::time_point> stopSeen;
        std::unique_ptr<EncoderJob> encoder;
    };

    // The row's job prepared and started; a row that cannot be is failed.
    void startRow(int row, const BatchSettings& settings);
    std::optional<Job> prepareJob(int row, const BatchSettings& settings, int scriptSlot);
    // Handles events until at least one running job's end handler has
    // delivered its result; after a stop, each job's watchdog kills it.
    void waitForAnEnd();
    // Each running row whose job has ended gets its status, in row order.
    void finishEndedRows(const BatchSettings& settings);
    void finishRow(RunningRow& running, const BatchSettings& settings);
    JobResult keepOutput(Job& job, const BatchSettings& settings);
    JobResult keepOneFile(Job& job, const BatchSettings& settings);
    JobResult keepSeveralFiles(Job& job);
    // The working files (or folder) made for the job, under a working name
    // that fits; false, with the row failed, when none could be made.
    bool makeWorkingOutput(int row, Job& job, const BatchSettings& settings);
    // Taken on disk, or the final name of a running job.
    bool outputNameTaken(const std::string& path) const;
    // The running jobs' working files, and one about to be made.
    void announceWorkingFiles(const std::string& starting = {});
    void holdChanges();
    void releaseChanges() { m_changesHeld.reset(); }
    // log: the row's own records, where the reason joins them.
    void fail(int row, std::string reason, JobLog* log = nullptr);

    BatchFlags& m_flags;
    UiThread& m_uiThread;
    BatchView& m_view;
    JobList& m_jobs;
    const AppPaths& m_paths;
    const PresetTable& m_presets;
    const Clock& m_clock;
    AviSynthCheck m_aviSynthLoads;
    DesktopReporter m_desktop;
    bool m_running = false;
    bool m_busy = false;
    // The gauge, the rows' percentages and the desktop's share of them.
    BatchProgress m_progress;
    // In row order; a list, as the end handlers hold their row's address.
    std::list<RunningRow> m_runningRows;
    // The running batch's settings, for a stop that waits from inside it.
    const BatchSettings* m_settings = nullptr;
    WorkingFilesHandler m_workingFilesChanged;
    ChangesHold m_holdChanges;
    std::shared_ptr<void> m_changesHeld;
};

}  // namespace mirvane
