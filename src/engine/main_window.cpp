#include "engine/main_window.h"

#include <utility>

#include "engine/platform/platform.h"
#include "engine/texts.h"

namespace mirvane {

MainWindow::MainWindow(UnitState& unit, UiThread& uiThread, MainWindowView& view, const AppPaths& paths,
                       const Clock& clock)
    : m_unit(unit),
      m_view(view),
      m_paths(paths),
      m_jobs(view),
      m_driver(unit, uiThread, view, m_jobs, paths, m_presets, clock) {}

void MainWindow::FormCreate(const std::vector<std::string>& commandLineFiles) {
    m_unit.StartupFailed = false;
    m_unit.LogEnabled = true;
    m_unit.LastPresetIndex = 0;

    // Every check runs and reports; the window closes once it has been shown.
    auto fail = [this](const char* message) {
        m_view.showError(message);
        m_unit.StartupFailed = true;
    };
    if (!platform::isReadableFile(m_paths.settingsFile)) fail(texts::kSettingsMissing);
    if (!platform::isExecutableFile(m_paths.encoder)) fail(texts::kEncoderMissing);
    m_presets = LoadPresets(m_paths.settingsFile);
    std::vector<std::string> titles;
    for (const TListData& preset : m_presets.Presets) titles.push_back(preset.Title);
    m_view.setPresetTitles(titles);
    if (titles.empty()) fail(texts::kSettingsUnreadable);

    if (!commandLineFiles.empty()) {
        m_view.setHintVisible(false);
        m_jobs.append(commandLineFiles);
    }
}

void MainWindow::FormShow() {
    if (m_unit.StartupFailed) m_view.closeWindow();
}

bool MainWindow::FormCloseQuery() {
    if (m_driver.busy() && !m_view.confirmForcedQuit(texts::kForcedQuitQuestion)) return false;
    m_driver.requestStop();
    // A running batch lives inside the start button's handler, called from
    // this very window: the window stays until that handler has returned.
    if (m_driver.isRunning()) {
        m_closePending = true;
        return false;
    }
    return true;
}

void MainWindow::btnStartClick() {
    m_driver.btnStartClick();
    if (m_driver.isRunning()) return;  // a press that asked the batch to stop
    if (!m_handedOver.empty()) WMDropFiles(std::exchange(m_handedOver, {}));
    if (m_closePending) {
        m_closePending = false;
        m_view.closeWindow();
    }
}

void MainWindow::btnAllClrClick() {
    m_jobs.clear();
    m_view.gauge().setProgress(0);
    m_view.setHintVisible(true);
}

void MainWindow::lbToClick(int index) {
    if (index == m_unit.LastPresetIndex) return;
    m_jobs.resetFailed();
    m_unit.LastPresetIndex = index;
}

void MainWindow::chkDShowClick() { m_jobs.resetFailed(); }

// A drop during a job is discarded: the batch walks the rows by index and
// must find them as they were.
void MainWindow::WMDropFiles(const std::vector<std::string>& paths) {
    if (m_driver.busy() || paths.empty()) return;
    m_view.setHintVisible(false);
    m_jobs.append(paths);
    m_view.bringToFront();
}

void MainWindow::openHandedOverFiles(const std::vector<std::string>& paths) {
    if (m_driver.isRunning()) {
        m_handedOver.insert(m_handedOver.end(), paths.begin(), paths.end());
        return;
    }
    WMDropFiles(paths);
}

void MainWindow::FormKeyDown(Key key, bool control) {
    // Only while idle, so that a job is logged completely or not at all.
    if (key == Key::F1 && control && !m_driver.busy()) m_unit.LogEnabled = false;
}

void MainWindow::lvDataKeyDown(Key key) {
    if (key != Key::Delete || m_driver.busy()) return;
    m_jobs.remove(m_view.selectedRows());
    if (m_jobs.empty()) {
        m_view.gauge().setProgress(0);
        m_view.setHintVisible(true);
    }
}

}  // namespace mirvane
