#pragma once
// The engine's view of the main window's widgets. Texts cross here between
// the engine's bytes and Qt's strings: paths through the file-name encoding,
// so a name that is not valid UTF-8 still shows as well as Qt can while the
// engine keeps its exact bytes.

#include "engine/window/main_window_view.h"

class QCheckBox;
class QFrame;
class QLabel;
class QListWidget;
class QPushButton;
class QTreeWidget;
class QWidget;

namespace mirvane {

class MessageBoxes;
class PercentGauge;
class SpokenNotice;

// The form's controls, made by the window from the engine's form.
struct FormControls {
    QFrame* panel = nullptr;
    QPushButton* startButton = nullptr;
    QPushButton* clearButton = nullptr;
    QLabel* presetLabel = nullptr;
    QListWidget* presetList = nullptr;
    QCheckBox* directShowBox = nullptr;
    PercentGauge* gauge = nullptr;
    QTreeWidget* jobList = nullptr;
    QLabel* dropHint = nullptr;
};

class ViewAdapter : public MainWindowView {
public:
    // The controls are read at each call, so they may be made later.
    ViewAdapter(QWidget& window, const FormControls& form, MessageBoxes& messages)
        : m_window(window), m_form(form), m_messages(messages) {}

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

    void showError(const std::string& text) override;
    void showInformation(const std::string& text) override;
    bool confirmForcedQuit(const std::string& text) override;
    void bringToFront() override;
    void closeWindow() override;

private:
    QWidget& m_window;
    const FormControls& m_form;
    MessageBoxes& m_messages;
    // Made at the first announcement, a child of the window.
    SpokenNotice* m_notice = nullptr;
};

}  // namespace mirvane
