#pragma once
// The main window's behaviour, whatever toolkit draws it: the start-up
// checks, the job list as the user edits it, the keys, the resets of failed
// rows, the batch behind the start button and the question on closing. A
// window forwards each event to the handler of the same name and shows what
// it is told through MainWindowView.

#include <string>
#include <vector>

#include "engine/app_paths.h"
#include "engine/batch_driver.h"
#include "engine/clock.h"
#include "engine/job_list.h"
#include "engine/main_window_view.h"
#include "engine/presets.h"
#include "engine/ui_thread.h"
#include "engine/unit_state.h"

namespace mirvane {

// The keys the window reacts to; every other key is Other.
enum class Key { Delete, F1, Other };

class MainWindow {
public:
    MainWindow(UnitState& unit, UiThread& uiThread, MainWindowView& view, const AppPaths& paths,
               const Clock& clock);

    // Checks the program's folder, reporting every problem in turn, loads
    // the presets and adds the command line's files as rows.
    void FormCreate(const std::vector<std::string>& commandLineFiles);
    // Closes a window whose start-up failed, once it is up.
    void FormShow();
    // The user asks to close the window: false keeps it open. A confirmed
    // close during a batch stops it; the window then closes by itself once
    // the batch is over.
    bool FormCloseQuery();

    void btnStartClick();
    void btnAllClrClick();
    // The user chose the preset at index in the list (with the mouse or the keyboard).
    void lbToClick(int index);
    void chkDShowClick();
    // Dropped paths in the order the drag source gave them, as exact bytes.
    void WMDropFiles(const std::vector<std::string>& paths);
    // A key seen by the window before the control that has the focus.
    void FormKeyDown(Key key, bool control);
    // A key pressed while the job list has the focus.
    void lvDataKeyDown(Key key);
    // Files another copy of the program was started with: added as a drop
    // would add them, but never refused: during a batch they wait for its end.
    void openHandedOverFiles(const std::vector<std::string>& paths);

    const JobList& jobs() const { return m_jobs; }
    const PresetTable& presets() const { return m_presets; }
    bool busy() const { return m_driver.busy(); }

private:
    UnitState& m_unit;
    MainWindowView& m_view;
    const AppPaths& m_paths;
    JobList m_jobs;
    PresetTable m_presets;
    BatchDriver m_driver;
    // A confirmed close that waits for the running batch to return.
    bool m_closePending = false;
    // Files handed over during a batch, added once it is over.
    std::vector<std::string> m_handedOver;
};

}  // namespace mirvane
