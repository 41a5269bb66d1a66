#include "engine/batch/batch_runner.h"

#include <algorithm>
#include <memory>
#include <system_error>
#include <utility>

#include "engine/encoding/conversion_log.h"
#include "engine/encoding/encoder_job.h"
#include "engine/encoding/failure_reason.h"
#include "engine/encoding/stop_watchdog.h"
#include "engine/jobs/paths.h"
#include "engine/platform/journal_file.h"
#include "engine/texts/texts.h"

namespace mirvane {

namespace {

JobStatus statusForResult(int32_t result) {
    if (result == kResultCompleted) return JobStatus::Converted;
    if (result == kResultStopped) return JobStatus::Pending;
    return JobStatus::Failed;
}

}  // namespace

BatchRunner::BatchRunner(BatchFlags& flags, UiThread& uiThread, BatchView& view, JobList& jobs,
                         const AppPaths& paths, const PresetTable& presets, const Clock& clock,
                         AviSynthCheck aviSynthLoads, DesktopServices& desktop)
    : m_flags(flags),
      m_uiThread(uiThread),
      m_view(view),
      m_jobs(jobs),
      m_paths(paths),
      m_presets(presets),
      m_clock(clock),
      m_aviSynthLoads(std::move(aviSynthLoads)),
      m_desktop(desktop),
      m_progress(view, m_desktop) {
    // At each start: a run killed in mid-job leaves nothing outside the
    // outputs' folders for long.
    platform::sweepLeftoverLinkFolders();
}

void BatchRunner::startOrStop() {
    if (m_busy) {
        requestStop();
        return;
    }
    m_flags.stopRequested = false;
    DeleteLogForNewBatch(m_flags.logEnabled, m_paths.logFile);

    const int preset = m_view.selectedPreset();
    if (preset < 0 || preset >= static_cast<int>(m_presets.presets.size())) return;
    BatchSettings settings{CommandTemplate(m_paths, m_presets.presets[preset].options),
                           m_presets.presets[preset].extension, m_view.directShowTicked()};
    // Without AviSynth the encoder would say no more than that it failed.
    settings.aviSynthMissing = settings.directShow && !m_aviSynthLoads(m_paths.encoder);

    // Rows cannot be added or removed while a job runs, so the count taken
    // now holds for the whole batch.
    const int rowCount = m_jobs.size();
    int pending = 0;
    for (int row = 0; row < rowCount; ++row) pending += m_jobs.row(row).status == JobStatus::Pending;
    const int jobsAtOnce = std::max(1, m_presets.simultaneousJobs);
    m_progress.batchStarted(pending, jobsAtOnce);
    m_running = true;
    m_settings = &settings;
    int next = 0;
    for (;;) {
        while (next < rowCount && static_cast<int>(m_runningRows.size()) < jobsAtOnce &&
               !m_flags.stopRequested) {
            const int row = next++;
            if (m_jobs.row(row).status == JobStatus::Pending) startRow(row, settings);
        }
        releaseChanges();
        if (m_runningRows.empty()) break;
        // Every free place is taken while rows wait: a job alone now stays
        // alone, and its records need not wait for its end.
        if (m_runningRows.size() == 1) m_runningRows.front().log.writeThrough();
        waitForAnEnd();
        finishEndedRows(settings);
    }
    if (rowCount > 0) setIdleControls(true);
    m_running = false;
    m_settings = nullptr;
    // A close stops the batch as the stop button does.
    m_progress.batchEnded(m_flags.stopRequested);
}

void BatchRunner::startRow(int row, const BatchSettings& settings) {
    setIdleControls(false);
    int scriptSlot = 0;
    while (std::any_of(m_runningRows.begin(), m_runningRows.end(),
                       [scriptSlot](const RunningRow& running) { return running.scriptSlot == scriptSlot; }))
        ++scriptSlot;
    std::optional<Job> prepared = prepareJob(row, settings, scriptSlot);
    if (!prepared) {
        m_progress.rowEnded(row, m_jobs.row(row).status);
        return;
    }
    RunningRow& running = m_runningRows.emplace_back(row, scriptSlot, std::move(*prepared), m_paths.logFile);
    // The file now exists: its identity joins its name.
    announceWorkingFiles();
    try {
        running.encoder = std::make_unique<EncoderJob>(
            running.job.command, m_flags, m_uiThread, m_progress.rowStarted(row), m_paths, running.log,
            [&running](JobResult result) { running.ended = std::move(result); });
    } catch (const std::system_error& error) {
        running.ended =
            JobResult{kResultStartFailed, explainFailure(texts::kReasonWorkerNotStarted, error.code())};
    }
}

void BatchRunner::waitForAnEnd() {
    auto anyEnded = [this] {
        return std::any_of(m_runningRows.begin(), m_runningRows.end(),
                           [](const RunningRow& running) { return running.ended.has_value(); });
    };
    // A stop that waited from inside this loop may have ended every job.
    while (!m_runningRows.empty() && !anyEnded()) {
        std::optional<std::chrono::milliseconds> wait;
        if (m_flags.stopRequested) {
            for (RunningRow& running : m_runningRows) {
                StopWatchdog watchdog(m_clock, running.stopSeen);
                const auto due = watchdog.pass([&running] { running.encoder->kill(); });
                wait = wait ? std::min(*wait, due) : due;
            }
        }
        // Sleeps until an event arrives (a gauge update, an end handler, user
        // input) or a watchdog is due; the encoders keep the processor.
        m_uiThread.processEvents(wait);
    }
}

void BatchRunner::finishEndedRows(const BatchSettings& settings) {
    for (auto running = m_runningRows.begin(); running != m_runningRows.end();) {
        if (!running->ended) {
            ++running;
            continue;
        }
        holdChanges();
        finishRow(*running, settings);
        running = m_runningRows.erase(running);
    }
}

void BatchRunner::finishRow(RunningRow& running, const BatchSettings& settings) {
    running.encoder.reset();
    Job& job = running.job;
    JobResult result = std::move(*running.ended);
    if (result.code == kResultCompleted) {
        result = keepOutput(job, settings);
    } else {
        // The encoder's words name the file as it was told; the user knows the output's name.
        if (!job.encoderOutput.empty())
            result.reason = ReplaceAll(result.reason, job.encoderOutput, job.output);
        job.working.discard();
        job.folder.discard();
    }
    if (result.code == kResultCompleted && m_flags.logEnabled) {
        // The log names what the user finds, besides the name the encoder was given.
        for (const std::string& file : job.kept)
            running.log.add(std::string(texts::kStatusConverted) + ": " + file);
    }
    // Gone from the journal with the row's new status.
    job.workingName.clear();
    announceWorkingFiles();
    const JobStatus status = statusForResult(result.code);
    if (status == JobStatus::Failed) {
        fail(running.row, std::move(result.reason), &running.log);
    } else {
        if (status == JobStatus::Converted) m_view.rowOutputKept(running.row, job.output);
        m_jobs.setStatus(running.row, status);
    }
    // Kept records are written whole, once the row's outcome is known.
    running.log.finish();
    m_progress.rowEnded(running.row, status);
}

void BatchRunner::announceWorkingFiles(const std::string& starting) {
    if (!m_workingFilesChanged) return;
    std::vector<JournalWorkingFile> files;
    for (const RunningRow& running : m_runningRows) {
        if (running.job.workingName.empty()) continue;
        JournalWorkingFile& file =
            files.emplace_back(JournalWorkingFile{running.job.workingName, std::nullopt});
        platform::FileId identity;
        if (running.job.working.isOpen() && !running.job.working.identity(identity)) file.identity = identity;
    }
    if (!starting.empty()) files.push_back({starting, std::nullopt});
    m_workingFilesChanged(files);
}

void BatchRunner::fail(int row, std::string reason, JobLog* log) {
    // The log holds the reason beside the job's own records; a job that
    // never started has no other. The encoder's own error lines begin with
    // the file they are about: the path is not written twice.
    if (m_flags.logEnabled) {
        const std::string path = m_jobs.row(row).path + ": ";
        const std::string record =
            std::string(texts::kStatusError) + ": " + (reason.starts_with(path) ? "" : path) + reason;
        if (log) {
            log->add(record);
        } else {
            WriteLog(m_paths.logFile, record);
        }
    }
    m_jobs.setStatus(row, JobStatus::Failed, std::move(reason));
}

void BatchRunner::setIdleControls(bool idle) {
    m_busy = !idle;
    m_view.setStartCaption(idle ? StartCaption::Start : StartCaption::Stop);
    if (idle) m_view.setStartEnabled(true);
    m_view.setOptionControlsEnabled(idle);
}

void BatchRunner::requestStop() {
    m_flags.stopRequested = true;
    m_view.setStartEnabled(false);
}

void BatchRunner::stopAndWait() {
    if (!m_settings) return;
    requestStop();
    while (!m_runningRows.empty()) {
        waitForAnEnd();
        finishEndedRows(*m_settings);
        releaseChanges();
    }
}

void BatchRunner::holdChanges() {
    if (m_holdChanges && !m_changesHeld) m_changesHeld = m_holdChanges();
}

}  // namespace mirvane
