#include "engine/batch/batch_runner.h"

#include <memory>
#include <system_error>
#include <utility>

#include "engine/encoding/conversion_log.h"
#include "engine/encoding/encoder_job.h"
#include "engine/encoding/failure_reason.h"
#include "engine/encoding/stop_watchdog.h"
#include "engine/jobs/job_command.h"
#include "engine/jobs/paths.h"
#include "engine/platform/files.h"
#include "engine/window/texts.h"

namespace mirvane {

namespace {

// Working names tried before the job is given up: each taken one is left
// by a run that ended in mid-job, or is someone else's.
constexpr int kWorkingNameAttempts = 100;

JobStatus statusForResult(int32_t result) {
    if (result == kResultCompleted) return JobStatus::Converted;
    if (result == kResultStopped) return JobStatus::Pending;
    return JobStatus::Failed;
}

}  // namespace

BatchRunner::BatchRunner(BatchFlags& flags, UiThread& uiThread, MainWindowView& view, JobList& jobs,
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
      m_desktop(view, desktop) {}

void BatchRunner::startOrStop() {
    if (m_busy) {
        requestStop();
        return;
    }
    m_flags.stopRequested = false;
    DeleteLogForNewBatch(m_flags.logEnabled, m_paths.logFile);

    const int preset = m_view.selectedPreset();
    if (preset < 0 || preset >= static_cast<int>(m_presets.Presets.size())) return;
    BatchSettings settings{CommandTemplate(m_paths, m_presets.Presets[preset].Option),
                           m_presets.Presets[preset].Ext, m_view.directShowTicked()};
    // Without AviSynth the encoder would say no more than that it failed.
    settings.aviSynthMissing = settings.directShow && !m_aviSynthLoads(m_paths.encoder);

    // Rows cannot be added or removed while a job runs, so the count taken
    // now holds for the whole batch.
    const int rowCount = m_jobs.size();
    int pending = 0;
    for (int row = 0; row < rowCount; ++row) pending += m_jobs.row(row).status == JobStatus::Pending;
    m_desktop.batchStarted(pending);
    m_running = true;
    for (int row = 0; row < rowCount && !m_flags.stopRequested; ++row) {
        if (m_jobs.row(row).status == JobStatus::Pending) {
            convertRow(row, settings);
            m_desktop.rowFinished(m_jobs.row(row).status);
        }
        setIdleControls(true);
    }
    m_running = false;
    // A close stops the batch as the stop button does.
    m_desktop.batchEnded(m_flags.stopRequested);
}

// A job that cannot be prepared fails like any other job; the batch goes on.
std::optional<BatchRunner::Job> BatchRunner::prepareJob(int row, const BatchSettings& settings) {
    const std::string& rowPath = m_jobs.row(row).path;
    Job job{rowPath, rowPath, {}, {}, {}};
    if (settings.directShow) {
        if (settings.aviSynthMissing) {
            fail(row, texts::kReasonAviSynthMissing);
            return std::nullopt;
        }
        const std::optional<std::string> pathInScript = AvsScriptPath(rowPath);
        if (!pathInScript) {
            fail(row, texts::kReasonScriptPathNotWritable);
            return std::nullopt;
        }
        if (const std::error_code error =
                MakeAvsScript(m_paths, *pathInScript, m_presets.DShowFps, job.input)) {
            fail(row, explainFailure(texts::kReasonScriptNotWritten, error, m_paths.scriptFile));
            return std::nullopt;
        }
    }
    std::optional<std::string> output = MakeOutputPath(rowPath, settings.extension, platform::entryExists);
    if (!output) {
        fail(row, texts::kReasonNoOutputName);
        return std::nullopt;
    }
    job.output = std::move(*output);
    // The encoder writes into a file made here, under a name of its own: a
    // name taken meanwhile, or a link put there, cannot receive its output.
    std::error_code error;
    for (int attempt = 1; attempt <= kWorkingNameAttempts && !job.working.isOpen(); ++attempt) {
        const std::string name = WorkingOutputPath(job.output, attempt);
        if (platform::entryExists(name)) {
            error = std::make_error_code(std::errc::file_exists);
            continue;
        }
        // Named, with the row's new status, before it exists, so that a run
        // killed at any instant leaves nothing the next start does not know
        // to remove.
        if (m_workingFileChanged) m_workingFileChanged(name);
        m_jobs.setStatus(row, JobStatus::Converting);
        job.working = platform::WorkingFile::create(name, error);
        if (error && error != std::errc::file_exists) break;
    }
    if (!job.working.isOpen()) {
        if (m_workingFileChanged) m_workingFileChanged({});
        fail(row, explainFailure(texts::kReasonOutputNotCreated, error));
        return std::nullopt;
    }
    job.command = {MakeJobCommand(settings.commandTemplate, job.input, job.working.encoderPath()),
                   MakeJobCommand(settings.commandTemplate, job.input, job.working.path())};
    return job;
}

void BatchRunner::convertRow(int row, const BatchSettings& settings) {
    setIdleControls(false);
    std::optional<Job> prepared = prepareJob(row, settings);
    if (!prepared) return;

    m_ended.reset();
    std::unique_ptr<EncoderJob> job;
    try {
        job = std::make_unique<EncoderJob>(prepared->command, m_flags, m_uiThread, m_desktop, m_paths,
                                           [this](JobResult result) { m_ended = std::move(result); });
    } catch (const std::system_error& error) {
        prepared->working.discard();
        if (m_workingFileChanged) m_workingFileChanged({});
        fail(row, explainFailure(texts::kReasonWorkerNotStarted, error.code()));
        return;
    }
    JobResult result = waitForJob(*job);
    job.reset();
    if (result.code == kResultCompleted) {
        result = keepOutput(*prepared, settings);
    } else {
        // The encoder's words name the file as it was told; the user knows the output's name.
        result.reason = ReplaceAll(result.reason, prepared->working.encoderPath(), prepared->output);
        prepared->working.discard();
    }
    if (m_workingFileChanged) m_workingFileChanged({});
    const JobStatus status = statusForResult(result.code);
    if (status == JobStatus::Failed) {
        fail(row, std::move(result.reason));
    } else {
        m_jobs.setStatus(row, status);
    }
    m_desktop.setProgress(0);
}

// A complete output gets its final name; one that is missing or empty is no
// conversion. A name taken while the job ran is never replaced: the next free
// one by the same rule is used.
JobResult BatchRunner::keepOutput(Job& job, const BatchSettings& settings) {
    std::uint64_t bytes = 0;
    if (const std::error_code error = job.working.size(bytes)) {
        return {kResultNothingSeen, explainFailure(texts::kReasonOutputNotRenamed, error)};
    }
    if (bytes == 0) return {kResultNothingSeen, texts::kReasonOutputEmpty};
    for (;;) {
        const std::error_code error = job.working.commit(job.output);
        if (!error) return {kResultCompleted, {}};
        if (error != std::errc::file_exists)
            return {kResultNothingSeen, explainFailure(texts::kReasonOutputNotRenamed, error)};
        std::optional<std::string> next =
            MakeOutputPath(job.rowPath, settings.extension, platform::entryExists);
        if (!next) return {kResultNothingSeen, texts::kReasonNoOutputName};
        job.output = std::move(*next);
    }
}

void BatchRunner::fail(int row, std::string reason) {
    // The log holds the reason beside the job's own records; a job that
    // never started has no other. The encoder's own error lines begin with
    // the file they are about: the path is not written twice.
    if (m_flags.logEnabled) {
        const std::string path = m_jobs.row(row).path + ": ";
        WriteLog(m_paths.logFile,
                 std::string(texts::kStatusError) + ": " + (reason.starts_with(path) ? "" : path) + reason);
    }
    m_jobs.setStatus(row, JobStatus::Failed, std::move(reason));
}

JobResult BatchRunner::waitForJob(EncoderJob& job) {
    std::optional<Clock::time_point> stopSeen;
    StopWatchdog watchdog(m_clock, stopSeen);
    std::optional<std::chrono::milliseconds> wait;
    while (!m_ended) {
        // Sleeps until an event arrives (a gauge update, the end handler, user
        // input) or the watchdog is due; the encoder keeps the processor.
        m_uiThread.processEvents(wait);
        if (m_ended || !m_flags.stopRequested) continue;
        wait = watchdog.pass([&job] { job.kill(); });
    }
    return std::move(*m_ended);
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

}  // namespace mirvane
