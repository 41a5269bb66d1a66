#include "engine/batch/batch_runner.h"

#include <algorithm>
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
#include "engine/platform/journal_file.h"
#include "engine/texts/texts.h"

namespace mirvane {

namespace {

// Working names tried before the job is given up: each taken one is left
// by a run that ended in mid-job, or is someone else's.
constexpr int kWorkingNameAttempts = 100;

// The script of a job running beside others, "Mirvane-2.avs" beside
// "Mirvane.avs": scriptFile ends in ".avs" (AppPaths).
std::string scriptBeside(const std::string& scriptFile, int slot) {
    const std::size_t stem = scriptFile.size() - std::string_view(".avs").size();
    return scriptFile.substr(0, stem) + "-" + std::to_string(slot + 1) + scriptFile.substr(stem);
}

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
      m_desktop(view, desktop),
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
    m_jobsAtOnce = std::max(1, m_presets.Jobs);
    m_desktop.batchStarted(pending);
    if (severalJobs() && pending > 0) m_progress.batchStarted(pending);
    m_running = true;
    m_settings = &settings;
    int next = 0;
    for (;;) {
        while (next < rowCount && static_cast<int>(m_runningRows.size()) < m_jobsAtOnce &&
               !m_flags.stopRequested) {
            const int row = next++;
            if (m_jobs.row(row).status == JobStatus::Pending) startRow(row, settings);
        }
        if (m_runningRows.empty()) break;
        waitForAnEnd();
        finishEndedRows(settings);
    }
    if (rowCount > 0) setIdleControls(true);
    if (severalJobs() && pending > 0) m_progress.batchEnded();
    m_running = false;
    m_settings = nullptr;
    // A close stops the batch as the stop button does.
    m_desktop.batchEnded(m_flags.stopRequested);
}

void BatchRunner::startRow(int row, const BatchSettings& settings) {
    setIdleControls(false);
    int scriptSlot = 0;
    while (std::any_of(m_runningRows.begin(), m_runningRows.end(),
                       [scriptSlot](const RunningRow& running) { return running.scriptSlot == scriptSlot; }))
        ++scriptSlot;
    std::optional<Job> prepared = prepareJob(row, settings, scriptSlot);
    if (!prepared) {
        m_desktop.rowFinished(m_jobs.row(row).status);
        if (severalJobs()) m_progress.rowEnded(row, true);
        return;
    }
    RunningRow& running = m_runningRows.emplace_back();
    running.row = row;
    running.scriptSlot = scriptSlot;
    running.job = std::move(*prepared);
    // The file now exists: its identity joins its name.
    announceWorkingFiles();
    if (severalJobs()) running.log.emplace();
    GaugeView& gauge = severalJobs() ? m_progress.rowStarted(row) : static_cast<GaugeView&>(m_desktop);
    try {
        running.encoder = std::make_unique<EncoderJob>(
            running.job.command, m_flags, m_uiThread, gauge, m_paths,
            [&running](JobResult result) { running.ended = std::move(result); },
            running.log ? &*running.log : nullptr);
    } catch (const std::system_error& error) {
        running.ended =
            JobResult{kResultStartFailed, explainFailure(texts::kReasonWorkerNotStarted, error.code())};
    }
}

// A job that cannot be prepared fails like any other job; the batch goes on.
std::optional<BatchRunner::Job> BatchRunner::prepareJob(int row, const BatchSettings& settings,
                                                        int scriptSlot) {
    const std::string& rowPath = m_jobs.row(row).path;
    Job job{rowPath, rowPath, {}, {}, {}, {}, false, {}, {}, {}};
    // A FIFO or a device would keep the encoder waiting for ever; a link to
    // a file is the file.
    if (platform::inputKind(rowPath) == platform::InputKind::Other) {
        fail(row, texts::kReasonInputNotAFile);
        return std::nullopt;
    }
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
        // Each running job opens its row through a script of its own: one
        // that another job's encoder reads is never written over.
        AppPaths scriptPaths = m_paths;
        if (scriptSlot > 0) scriptPaths.scriptFile = scriptBeside(m_paths.scriptFile, scriptSlot);
        if (const std::error_code error =
                MakeAvsScript(scriptPaths, *pathInScript, m_presets.DShowFps, job.input)) {
            fail(row, explainFailure(texts::kReasonScriptNotWritten, error, scriptPaths.scriptFile));
            return std::nullopt;
        }
    }
    const bool severalFiles = WritesSeveralFiles(settings.commandTemplate.options, settings.extension);
    std::optional<std::string> output = MakeOutputPath(
        rowPath, settings.extension, [this](const std::string& path) { return outputNameTaken(path); });
    if (!output) {
        fail(row, texts::kReasonNoOutputName);
        return std::nullopt;
    }
    job.output = std::move(*output);
    job.severalFiles = severalFiles;
    if (severalFiles) {
        // The encoder reads every '%' of such a name as the start of a number.
        const std::string named = job.output.substr(0, job.output.size() - settings.extension.size());
        if (named.find('%') != std::string::npos) {
            fail(row, texts::kReasonPercentInName);
            return std::nullopt;
        }
        // The moves at the end never replace a file; a sequence already
        // begun under these names is said at once rather than after the work.
        for (const std::string& name : FirstNumberedNames(job.output)) {
            if (name != job.output && outputNameTaken(name)) {
                fail(row, std::string(texts::kReasonOutputNameTaken) + ": " + name);
                return std::nullopt;
            }
        }
    }
    if (!makeWorkingOutput(row, job, settings)) return std::nullopt;
    // The log records the very command the encoder runs.
    const std::string command = MakeJobCommand(settings.commandTemplate, job.input, job.encoderOutput);
    job.command = {command, command};
    return job;
}

bool BatchRunner::makeWorkingOutput(int row, Job& job, const BatchSettings& settings) {
    const std::string folder = ExtractFolder(job.output);
    const std::string outputName = job.output.substr(folder.size());
    const std::string fitsIn = folder.empty() ? std::string(".") : folder;
    const auto fits = [&fitsIn](std::string_view name) { return platform::nameFits(fitsIn, name); };
    // A final name the system refuses would only fail after the work.
    if (!fits(outputName)) {
        fail(row, explainFailure(texts::kReasonOutputNotCreated,
                                 std::make_error_code(std::errc::filename_too_long), job.output));
        return false;
    }
    // Several files go into a folder named like the output without its
    // extension; one file is made under a name of its own. Either way a
    // name taken meanwhile, or a link put there, cannot receive the output.
    const std::string workingBase =
        job.severalFiles ? job.output.substr(0, job.output.size() - settings.extension.size()) : job.output;
    std::error_code error;
    for (int attempt = 1; attempt <= kWorkingNameAttempts; ++attempt) {
        const std::string name = WorkingOutputPath(workingBase, attempt, fits);
        if (platform::entryExists(name)) {
            error = std::make_error_code(std::errc::file_exists);
            continue;
        }
        // Named, with the row's new status, before it exists, so that a run
        // killed at any instant leaves nothing the next start does not know
        // to remove.
        announceWorkingFiles(name);
        m_jobs.setStatus(row, JobStatus::Converting);
        if (job.severalFiles) {
            job.folder = platform::WorkingFolder::create(name, error, job.rowPath);
        } else {
            job.working = platform::WorkingFile::create(name, error, job.rowPath);
        }
        job.workingName = name;
        if (!error || error != std::errc::file_exists) break;
    }
    if (!job.working.isOpen() && !job.folder.isOpen()) {
        job.workingName.clear();
        announceWorkingFiles();
        fail(row, explainFailure(texts::kReasonOutputNotCreated, error));
        return false;
    }
    job.encoderOutput = job.severalFiles ? job.folder.encoderPath(outputName) : job.working.encoderPath();
    return true;
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
        for (const std::string& file : job.kept) {
            const std::string record = std::string(texts::kStatusConverted) + ": " + file;
            if (running.log) {
                running.log->add(record);
            } else {
                WriteLog(m_paths.logFile, record);
            }
        }
    }
    // Gone from the journal with the row's new status.
    job.workingName.clear();
    announceWorkingFiles();
    const JobStatus status = statusForResult(result.code);
    if (status == JobStatus::Failed) {
        fail(running.row, std::move(result.reason), running.log ? &*running.log : nullptr);
    } else {
        m_jobs.setStatus(running.row, status);
    }
    if (severalJobs()) {
        // The job's records are written whole, once the row's outcome is known.
        if (m_flags.logEnabled) running.log->writeTo(m_paths.logFile);
        m_progress.rowEnded(running.row, status != JobStatus::Pending);
    } else {
        m_desktop.setProgress(0);
    }
    m_desktop.rowFinished(status);
}

// A complete output gets its final name; one that is missing or empty is no
// conversion. A name taken while the job ran is never replaced: the next free
// one by the same rule is used. A complete output is never removed: when it
// cannot be named, it stays where it is and the reason says where.
JobResult BatchRunner::keepOutput(Job& job, const BatchSettings& settings) {
    std::uint64_t bytes = 0;
    const std::error_code error = job.severalFiles ? job.folder.size(bytes) : job.working.size(bytes);
    if (error) return {kResultNothingSeen, explainFailure(texts::kReasonOutputNotRenamed, error)};
    if (bytes == 0) return {kResultNothingSeen, texts::kReasonOutputEmpty};
    return job.severalFiles ? keepSeveralFiles(job) : keepOneFile(job, settings);
}

JobResult BatchRunner::keepOneFile(Job& job, const BatchSettings& settings) {
    std::error_code error;
    for (;;) {
        error = job.working.commit(job.output);
        if (!error) {
            job.kept = {job.output};
            return {kResultCompleted, {}};
        }
        if (error != std::errc::file_exists) break;
        std::optional<std::string> next =
            MakeOutputPath(job.rowPath, settings.extension,
                           [this](const std::string& path) { return outputNameTaken(path); });
        if (!next) break;
        job.output = std::move(*next);
    }
    const std::string working = job.working.path();
    const bool noNameLeft = error == std::errc::file_exists || error == std::errc::filename_too_long;
    const std::string why = noNameLeft ? std::string(texts::kReasonKeptUnderWorkingName)
                                       : explainFailure(texts::kReasonOutputNotRenamed, error);
    if (job.working.keep()) return {kResultNothingSeen, why};
    return {kResultNothingSeen,
            why + (noNameLeft ? "" : std::string(". ") + texts::kReasonKeptAtWorkingName) + ": " + working};
}

JobResult BatchRunner::keepSeveralFiles(Job& job) {
    std::string taken;
    std::vector<std::string> moved;
    const std::error_code error = job.folder.commit(moved, taken);
    if (!error) {
        // One record for a sequence, however many files it has.
        job.kept = {job.output + " (" + texts::filesWritten(moved.size()) + ")"};
        return {kResultCompleted, {}};
    }
    const std::string folder = job.folder.path();
    job.folder.keep();
    std::string reason = error == std::errc::file_exists
                             ? std::string(texts::kReasonKeptInWorkingFolder)
                             : explainFailure(texts::kReasonOutputNotRenamed, error);
    reason += ": " + folder;
    if (!taken.empty()) reason += " (" + taken + ")";
    return {kResultNothingSeen, reason};
}

bool BatchRunner::outputNameTaken(const std::string& path) const {
    return platform::entryExists(path) ||
           std::any_of(m_runningRows.begin(), m_runningRows.end(),
                       [&path](const RunningRow& running) { return running.job.output == path; });
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

void BatchRunner::fail(int row, std::string reason, LogBlock* log) {
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
    }
}

}  // namespace mirvane
