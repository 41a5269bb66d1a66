#pragma once
// The batch: one press of the start button converts every pending row, one
// job at a time, while the UI thread keeps handling events; a second press
// (or closing the window) asks it to stop.

#include <functional>
#include <optional>
#include <string>

#include "engine/batch/batch_flags.h"
#include "engine/batch/batch_on_desktop.h"
#include "engine/encoding/clock.h"
#include "engine/encoding/encoder_job.h"
#include "engine/encoding/job_result.h"
#include "engine/jobs/app_paths.h"
#include "engine/jobs/job_command.h"
#include "engine/jobs/job_list.h"
#include "engine/platform/avisynth.h"
#include "engine/platform/output_file.h"
#include "engine/settings/presets.h"
#include "engine/window/desktop_services.h"
#include "engine/window/main_window_view.h"
#include "engine/window/ui_thread.h"

namespace mirvane {

class BatchRunner {
public:
    // Asked once for a batch with the DirectShow choice: whether AviSynth
    // loads for the encoder at the given path.
    using AviSynthCheck = std::function<bool(const std::string& encoderPath)>;

    // desktop: told of each batch's start, progress and end.
    BatchRunner(BatchFlags& flags, UiThread& uiThread, MainWindowView& view, JobList& jobs,
                const AppPaths& paths, const PresetTable& presets, const Clock& clock,
                AviSynthCheck aviSynthLoads = platform::aviSynthLoads,
                DesktopServices& desktop = noDesktopServices());

    // Starts a batch while idle; during a job, asks the batch to stop.
    // Returns when the batch is over.
    void startOrStop();
    // Switches the command controls between their idle and busy look.
    void setIdleControls(bool idle);
    // The stop request of a press during a job or of a confirmed close.
    void requestStop();
    // Told the working file of each job as it starts, and "" once it is over,
    // so that a run that ends in mid-job can be cleaned up after.
    void onWorkingFileChanged(std::function<void(const std::string& path)> handler) {
        m_workingFileChanged = std::move(handler);
    }

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
        platform::WorkingFile working;
        EncoderCommand command;
    };
    std::optional<Job> prepareJob(int row, const BatchSettings& settings);
    void convertRow(int row, const BatchSettings& settings);
    // Handles events until the job's end handler has delivered its result.
    JobResult waitForJob(EncoderJob& job);
    JobResult keepOutput(Job& job, const BatchSettings& settings);
    void fail(int row, std::string reason);

    BatchFlags& m_flags;
    UiThread& m_uiThread;
    MainWindowView& m_view;
    JobList& m_jobs;
    const AppPaths& m_paths;
    const PresetTable& m_presets;
    const Clock& m_clock;
    AviSynthCheck m_aviSynthLoads;
    // The window's gauge, as the batch writes it, followed on the desktop.
    BatchOnDesktop m_desktop;
    bool m_running = false;
    bool m_busy = false;
    // The running job's result, once its end handler has run.
    std::optional<JobResult> m_ended;
    std::function<void(const std::string& path)> m_workingFileChanged;
};

}  // namespace mirvane
