#pragma once
// The batch: one press of the start button converts every pending row, one
// job at a time, while the UI thread keeps handling events; a second press
// (or closing the window) asks it to stop.

#include <string>

#include "engine/app_paths.h"
#include "engine/batch_view.h"
#include "engine/presets.h"
#include "engine/ui_thread.h"
#include "engine/unit_state.h"

namespace mirvane {

class BatchDriver {
public:
    BatchDriver(UnitState& unit, UiThread& uiThread, BatchView& view, const AppPaths& paths,
                const PresetTable& presets);

    // Starts a batch when the start button reads "開始"; otherwise asks the
    // running batch to stop. Returns when the batch is over.
    void btnStartClick();
    // Switches the command controls between their idle and busy look.
    void SetIdleControls(bool idle);
    // The worker's end, announced on the UI thread.
    void ThreadTerminated();
    // The stop request of a press during a batch or a confirmed close.
    void requestStop();

    // True while btnStartClick is converting rows.
    bool isRunning() const { return m_running; }

private:
    void convertRow(int row, const std::string& commandTemplate, const std::string& extension);
    void waitForWorker();

    UnitState& m_unit;
    UiThread& m_uiThread;
    BatchView& m_view;
    const AppPaths& m_paths;
    const PresetTable& m_presets;
    bool m_running = false;
};

}  // namespace mirvane
