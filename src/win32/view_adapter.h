#pragma once
// The engine's view of the main window's controls. Texts cross here between
// the engine's UTF-8 and the system's UTF-16.

#include <windows.h>

#include "engine/window/main_window_view.h"
#include "win32/spoken_notice.h"

namespace mirvane::win32 {

class JobListControl;
class MessageBoxes;
class PercentGauge;

// The window handles of the form, named as the form names its controls.
struct WindowControls {
    HWND mainWindow = nullptr;
    HWND panel = nullptr;
    HWND jobList = nullptr;
    HWND dropHint = nullptr;
    HWND startButton = nullptr;
    HWND clearButton = nullptr;
    HWND presetLabel = nullptr;
    HWND presetList = nullptr;
    HWND directShowBox = nullptr;
};

class ViewAdapter : public MainWindowView {
public:
    // The handles are read at each call, so the controls may be created later.
    ViewAdapter(const WindowControls& controls, JobListControl& rows, PercentGauge& gauge,
                MessageBoxes& messages)
        : m_controls(controls), m_rows(rows), m_gauge(gauge), m_messages(messages) {}

    void rowsAppended(std::span<const JobRow> rows) override;
    void rowChanged(int row, const JobRow& data) override;
    void rowsRemoved(const std::vector<int>& rows) override;
    void rowsCleared() override;

    GaugeView& gauge() override;
    void setStartCaption(StartCaption caption) override;
    void setStartEnabled(bool enabled) override;
    void setOptionControlsEnabled(bool enabled) override;
    void setHintVisible(bool visible) override;

    void setPresetTitles(const std::vector<std::string>& titles) override;
    int selectedPreset() const override;
    bool directShowTicked() const override;
    std::vector<int> selectedRows() const override;

    void setRowPercent(int row, std::optional<int> percent) override;
    void showRowReason(int row, const std::string& reason) override;
    std::vector<std::string> chooseFiles() override;
    void announce(const std::string& text) override;
    void focusStartButton() override;
    // For tests: what says the announcements.
    SpokenNotice& notice() { return m_notice; }
    const SpokenNotice& notice() const { return m_notice; }

    void showError(const std::string& text) override;
    void showInformation(const std::string& text) override;
    bool confirmForcedQuit(const std::string& text) override;
    void bringToFront() override;
    void closeWindow() override;

private:
    const WindowControls& m_controls;
    JobListControl& m_rows;
    PercentGauge& m_gauge;
    MessageBoxes& m_messages;
    SpokenNotice m_notice;
};

}  // namespace mirvane::win32
