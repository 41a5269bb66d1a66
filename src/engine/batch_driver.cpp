#include "engine/batch_driver.h"

#include <memory>
#include <system_error>

#include "engine/Consol.h"
#include "engine/conversion_log.h"
#include "engine/failure_reason.h"
#include "engine/job_command.h"
#include "engine/stop_watchdog.h"
#include "engine/texts.h"

namespace mirvane {

namespace {

JobStatus statusForResult(int32_t result) {
    if (result == kResultCompleted) return JobStatus::Converted;
    if (result == kResultStopped) return JobStatus::Pending;
    return JobStatus::Failed;
}

}  // namespace

BatchDriver::BatchDriver(UnitState& unit, UiThread& uiThread, MainWindowView& view, JobList& jobs,
                         const AppPaths& paths, const PresetTable& presets, const Clock& clock)
    : m_unit(unit),
      m_uiThread(uiThread),
      m_view(view),
      m_jobs(jobs),
      m_paths(paths),
      m_presets(presets),
      m_clock(clock) {}

void BatchDriver::btnStartClick() {
    if (m_busy) {
        requestStop();
        return;
    }
    m_unit.StopRequested = false;
    DeleteLogForNewBatch(m_unit.LogEnabled, m_paths.logFile);

    const int preset = m_view.selectedPreset();
    if (preset < 0 || preset >= static_cast<int>(m_presets.Presets.size())) return;
    const std::string commandTemplate = CommandTemplate(m_paths, m_presets.Presets[preset].Option);
    const std::string extension = m_presets.Presets[preset].Ext;

    // Rows cannot be added or removed while a job runs, so the count taken
    // now holds for the whole batch.
    const int rowCount = m_jobs.size();
    m_running = true;
    for (int row = 0; row < rowCount && !m_unit.StopRequested; ++row) {
        if (m_jobs.row(row).status == JobStatus::Pending) convertRow(row, commandTemplate, extension);
        SetIdleControls(true);
    }
    m_running = false;
}

// A job that cannot be prepared fails like any other job; the batch goes on.
std::optional<BatchDriver::Job> BatchDriver::prepareJob(int row, const std::string& commandTemplate,
                                                        const std::string& extension) {
    const std::string& rowPath = m_jobs.row(row).path;
    Job job{rowPath, {}, {}};
    if (m_view.directShowTicked()) {
        if (const std::error_code error = MakeAvsScript(m_paths, rowPath, m_presets.DShowFps, job.input)) {
            fail(row, explainFailure(texts::kReasonScriptNotWritten, error));
            return std::nullopt;
        }
    }
    std::optional<std::string> output = MakeOutputPath(rowPath, extension, platform::entryExists);
    if (!output) {
        fail(row, texts::kReasonNoOutputName);
        return std::nullopt;
    }
    job.output = std::move(*output);
    job.commandLine = MakeJobCommand(commandTemplate, job.input, job.output);
    return job;
}

void BatchDriver::convertRow(int row, const std::string& commandTemplate, const std::string& extension) {
    SetIdleControls(false);
    std::optional<Job> job = prepareJob(row, commandTemplate, extension);
    if (!job) return;

    m_jobs.setStatus(row, JobStatus::Converting);
    m_unit.CancelTick.reset();
    std::unique_ptr<TConsolThread> worker;
    try {
        worker = std::make_unique<TConsolThread>(std::move(job->commandLine), m_unit, m_uiThread,
                                                 m_view.gauge(), m_paths, [this] { ThreadTerminated(); });
    } catch (const std::system_error& error) {
        fail(row, explainFailure(texts::kReasonWorkerNotStarted, error.code()));
        return;
    }
    waitForWorker();
    const JobStatus status = statusForResult(m_unit.ConvertResult);
    if (status == JobStatus::Failed) {
        fail(row, worker->failureReason());
    } else {
        m_jobs.setStatus(row, status);
    }
    worker.reset();
    m_view.gauge().setProgress(0);
}

void BatchDriver::fail(int row, std::string reason) {
    // The log holds the reason beside the job's own records; a job that
    // never started has no other.
    if (m_unit.LogEnabled)
        WriteLog(m_paths.logFile,
                 std::string(texts::kStatusError) + ": " + m_jobs.row(row).path + ": " + reason);
    m_jobs.setStatus(row, JobStatus::Failed, std::move(reason));
}

void BatchDriver::waitForWorker() {
    StopWatchdog watchdog(m_clock, m_unit.CancelTick);
    std::optional<std::chrono::milliseconds> wait;
    while (!m_unit.ThreadDone) {
        // Sleeps until an event arrives (a gauge update, the end handler, user
        // input) or the watchdog is due; the encoder keeps the processor.
        m_uiThread.processEvents(wait);
        if (m_unit.ThreadDone || !m_unit.StopRequested) continue;
        wait = watchdog.pass([this] { m_unit.ProcInfo.kill(); });
    }
}

void BatchDriver::SetIdleControls(bool idle) {
    m_busy = !idle;
    m_view.setStartCaption(idle ? StartCaption::Start : StartCaption::Stop);
    if (idle) m_view.setStartEnabled(true);
    m_view.setOptionControlsEnabled(idle);
}

void BatchDriver::ThreadTerminated() { m_unit.ThreadDone = true; }

void BatchDriver::requestStop() {
    m_unit.StopRequested = true;
    m_view.setStartEnabled(false);
}

}  // namespace mirvane
