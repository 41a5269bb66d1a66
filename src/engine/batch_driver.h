#pragma once
// The batch: one press of the start button converts every pending row, one
// job at a time, while the UI thread keeps handling events; a second press
// (or closing the window) asks it to stop.

#include <string>

#include "engine/app_paths.h"
#include "engine/clock.h"
#include "engine/job_list.h"
#include "engine/main_window_view.h"
#include "engine/presets.h"
#include "engine/ui_thread.h"
#include "engine/unit_state.h"

namespace mirvane {

class BatchDriver {
public:
    BatchDriver(UnitState& unit, UiThread& uiThread, MainWindowView& view, JobList& jobs,
                const AppPaths& paths, const PresetTable& presets, const Clock& clock);

    // Starts a batch while idle; during a job, asks the batch to stop.
    // Returns when the batch is over.
    void btnStartClick();
    // Switches the command controls between their idle and busy look.
    void SetIdleControls(bool idle);
    // The worker's end, announced on the UI thread.
    void ThreadTerminated();
    // The stop request of a press during a job or of a confirmed close.
    void requestStop();

    // True while a job runs: the controls have their busy look.
    bool busy() const { return m_busy; }
    // True from the start of a batch until btnStartClick returns.
    bool isRunning() const { return m_running; }

private:
    struct Job {
        std::string input;
        std::string output;
        std::string commandLine;
    };
    std::optional<Job> prepareJob(int row, const std::string& commandTemplate, const std::string& extension);
    void convertRow(int row, const std::string& commandTemplate, const std::string& extension);
    void waitForWorker();
    void fail(int row, std::string reason);

    UnitState& m_unit;
    UiThread& m_uiThread;
    MainWindowView& m_view;
    JobList& m_jobs;
    const AppPaths& m_paths;
    const PresetTable& m_presets;
    const Clock& m_clock;
    bool m_running = false;
    bool m_busy = false;
};

}  // namespace mirvane
