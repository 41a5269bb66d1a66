#include "cli/console_program.h"

#include <atomic>
#include <memory>
#include <thread>

#include "app/launch.h"
#include "cli/command_options.h"
#include "cli/console_batch_view.h"
#include "cli/console_ui_thread.h"
#include "cli/json_report.h"
#include "cli/line_report.h"
#include "cli/terminal_report.h"
#include "engine/batch/batch_runner.h"
#include "engine/encoding/batch_flags.h"
#include "engine/encoding/clock.h"
#include "engine/jobs/folder_walk.h"
#include "engine/jobs/job_list.h"
#include "engine/platform/console.h"
#include "engine/platform/files.h"
#include "engine/platform/termination.h"
#include "engine/settings/presets.h"
#include "engine/texts/texts.h"

namespace mirvane::cli {

namespace {

using platform::ConsoleStream;

void say(ConsoleStream stream, const std::string& text) { platform::writeConsole(stream, text); }

int usageError(const std::string& what) {
    say(ConsoleStream::Error, "mirvane-cli: " + what + "\n" + texts::kConsoleSeeHelp + "\n");
    return kExitBadUsage;
}

int settingsError(const std::string& what) {
    say(ConsoleStream::Error, "mirvane-cli: " + what + "\n");
    return kExitBadUsage;
}

// The preset the command line names: its number as listed, or its title.
std::optional<int> findPreset(const PresetTable& presets, const std::optional<std::string>& wanted) {
    if (!wanted) return 0;
    for (std::size_t i = 0; i < presets.presets.size(); ++i)
        if (presets.presets[i].title == *wanted || std::to_string(i + 1) == *wanted) return static_cast<int>(i);
    return std::nullopt;
}

std::unique_ptr<BatchReport> reportFor(bool json) {
    auto write = [](std::string_view text) { platform::writeConsole(ConsoleStream::Output, text); };
    if (json) return std::make_unique<JsonReport>(write);
    if (platform::isTerminal(ConsoleStream::Output)) return std::make_unique<TerminalReport>(write);
    return std::make_unique<LineReport>(write);
}

std::vector<std::string> inputFiles(const std::vector<std::string>& inputs) {
    // A name holding a NUL names no file: the system would read it only up to the NUL.
    std::vector<std::string> names;
    for (const std::string& input : inputs)
        if (input.find('\0') == std::string::npos) names.push_back(input);
    DroppedFiles dropped = ExpandFolders(names);
    if (dropped.cut) say(ConsoleStream::Error, "mirvane-cli: " + texts::folderFilesCut(kMaxFolderFiles) + "\n");
    if (dropped.foldersCut)
        say(ConsoleStream::Error,
            "mirvane-cli: " + texts::folderFoldersCut(kMaxFolderFolders, kMaxFolderDepth) + "\n");
    return std::move(dropped.files);
}

// Converts the files as the window's start button would, one report event
// per change; a request to end stops the batch as the stop button does.
int convert(const std::vector<std::string>& files, const AppPaths& paths, const PresetTable& presets, int preset,
            bool json) {
    const std::unique_ptr<BatchReport> report = reportFor(json);
    ConsoleBatchView view(*report, preset);
    JobList jobs(view);
    jobs.append(files);
    BatchFlags flags;
    ConsoleUiThread uiThread;
    const SteadyClock clock;
    BatchRunner batch(flags, uiThread, view, jobs, paths, presets, clock);

    bool interrupted = false;
    std::atomic<bool> over = false;
    std::thread listener([&] {
        while (!over)
            if (platform::waitForTerminationRequest(std::chrono::milliseconds(100)))
                uiThread.post([&] {
                    interrupted = true;
                    batch.requestStop();
                });
    });
    batch.startOrStop();
    over = true;
    listener.join();

    const BatchCounts counts = view.counts();
    report->batchOver(counts, interrupted);
    if (interrupted) return kExitInterrupted;
    return counts.failed > 0 ? kExitSomeFailed : kExitAllConverted;
}

}  // namespace

int RunConsoleProgram(const std::vector<std::string>& arguments) {
    const ParsedCommand parsed = ParseCommandLine(arguments);
    if (!parsed.error.empty()) return usageError(parsed.error);
    const CommandOptions& options = parsed.options;
    if (options.action == CommandOptions::Action::Help) {
        say(ConsoleStream::Output, texts::kConsoleUsage.c_str());
        return kExitAllConverted;
    }
    if (options.action == CommandOptions::Action::Version) {
        say(ConsoleStream::Output, std::string(texts::kAppCaption) + "\n");
        return kExitAllConverted;
    }

    const app::ConsoleLaunch launched = app::launchWithoutWindow(
        [](const std::string& text) { say(ConsoleStream::Error, text + "\n"); });
    AppPaths paths = launched.places.paths;
    if (options.settingsFile) paths.settingsFile = *options.settingsFile;
    if (!platform::isReadableFile(paths.settingsFile))
        return settingsError(std::string(texts::kSettingsMissing) + " (" + paths.settingsFile + ")");
    PresetTable presets = LoadPresets(paths.settingsFile);
    if (presets.presets.empty())
        return settingsError(std::string(texts::kSettingsUnreadable) + " (" + paths.settingsFile + ")");
    if (options.action == CommandOptions::Action::ListPresets) {
        std::string list;
        for (std::size_t i = 0; i < presets.presets.size(); ++i)
            list += std::to_string(i + 1) + "\t" + presets.presets[i].title + "\n";
        say(ConsoleStream::Output, list);
        return kExitAllConverted;
    }
    const std::optional<int> preset = findPreset(presets, options.preset);
    if (!preset) return usageError(texts::fill(texts::kConsoleNoSuchPreset, {{"preset", *options.preset}}));
    if (!platform::isExecutableFile(paths.encoder))
        return settingsError(texts::encoderMissing(kNativePathStyle) + " (" + paths.encoder + ")");
    if (options.jobs) presets.simultaneousJobs = *options.jobs;

    const std::vector<std::string> files = inputFiles(options.inputs);
    if (files.empty()) {
        say(ConsoleStream::Error, std::string("mirvane-cli: ") + texts::kConsoleNothingFound + "\n");
        return kExitAllConverted;
    }
    return convert(files, paths, presets, *preset, options.json);
}

}  // namespace mirvane::cli
