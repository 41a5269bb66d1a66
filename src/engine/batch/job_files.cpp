#include "engine/batch/batch_runner.h"

// Each job's files: its input checked, its script, its output's names, its
// working output made before the encoder starts and kept under its final name
// after a complete run.

#include <algorithm>
#include <system_error>
#include <utility>

#include "engine/encoding/failure_reason.h"
#include "engine/jobs/job_command.h"
#include "engine/jobs/paths.h"
#include "engine/platform/files.h"
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

}  // namespace

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
                MakeAvsScript(scriptPaths, *pathInScript, m_presets.directShowFps, job.input)) {
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
        releaseChanges();
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

// A complete output gets its final name; one that is missing or empty is no
// conversion. A name taken while the job ran is never replaced: the next free
// one by the same rule is used. A complete output is never removed: when it
// cannot be named, it stays where it is and the reason says where.
JobResult BatchRunner::keepOutput(Job& job, const BatchSettings& settings) {
    std::uint64_t bytes = 0;
    const std::error_code error = job.severalFiles ? job.folder.size(bytes) : job.working.size(bytes);
    if (error) return {kResultFailed, explainFailure(texts::kReasonOutputNotRenamed, error)};
    if (bytes == 0) return {kResultFailed, texts::kReasonOutputEmpty};
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
    if (job.working.keep()) return {kResultFailed, why};
    return {kResultFailed,
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
    return {kResultFailed, reason};
}

bool BatchRunner::outputNameTaken(const std::string& path) const {
    return platform::entryExists(path) ||
           std::any_of(m_runningRows.begin(), m_runningRows.end(),
                       [&path](const RunningRow& running) { return running.job.output == path; });
}

}  // namespace mirvane
