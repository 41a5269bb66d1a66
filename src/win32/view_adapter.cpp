#include "win32/view_adapter.h"

#include "engine/platform/win32/wide_text.h"
#include "engine/texts/texts.h"
#include "win32/file_dialog.h"
#include "win32/job_list_control.h"
#include "win32/message_boxes.h"
#include "win32/percent_gauge.h"

namespace mirvane::win32 {

using platform::win32::toUtf8;
using platform::win32::toWide;

void ViewAdapter::rowsAppended(std::span<const JobRow> rows) { m_rows.append(rows); }

void ViewAdapter::rowChanged(int row, const JobRow& data) { m_rows.change(row, data); }

void ViewAdapter::rowsRemoved(const std::vector<int>& rows) { m_rows.remove(rows); }

void ViewAdapter::rowsCleared() { m_rows.clear(); }

GaugeView& ViewAdapter::gauge() { return m_gauge; }

void ViewAdapter::setStartCaption(StartCaption caption) {
    SetWindowTextW(
        m_controls.startButton,
        toWide(caption == StartCaption::Stop ? texts::kCaptionStop : texts::kCaptionStart).c_str());
}

void ViewAdapter::setStartEnabled(bool enabled) { EnableWindow(m_controls.startButton, enabled); }

void ViewAdapter::setOptionControlsEnabled(bool enabled) {
    EnableWindow(m_controls.clearButton, enabled);
    EnableWindow(m_controls.presetList, enabled);
    EnableWindow(m_controls.directShowBox, enabled);
}

// Showing the hint must not take the focus or activate anything.
void ViewAdapter::setHintVisible(bool visible) {
    ShowWindow(m_controls.dropHint, visible ? SW_SHOWNA : SW_HIDE);
}

// LB_SETCURSEL sends no LBN_SELCHANGE: the program's own selection is never
// taken for the user's.
void ViewAdapter::setPresetTitles(const std::vector<std::string>& titles) {
    SendMessageW(m_controls.presetList, LB_RESETCONTENT, 0, 0);
    for (const std::string& title : titles)
        SendMessageW(m_controls.presetList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(toWide(title).c_str()));
    SendMessageW(m_controls.presetList, LB_SETCURSEL, 0, 0);
}

int ViewAdapter::selectedPreset() const {
    const LRESULT index = SendMessageW(m_controls.presetList, LB_GETCURSEL, 0, 0);
    return index == LB_ERR ? -1 : static_cast<int>(index);
}

bool ViewAdapter::directShowTicked() const {
    return SendMessageW(m_controls.directShowBox, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

std::vector<int> ViewAdapter::selectedRows() const { return m_rows.selectedRows(); }

void ViewAdapter::showError(const std::string& text) { m_messages.showError(m_controls.mainWindow, text); }

void ViewAdapter::showInformation(const std::string& text) {
    m_messages.showInformation(m_controls.mainWindow, text);
}

bool ViewAdapter::confirmForcedQuit(const std::string& text) {
    return m_messages.confirmForcedQuit(m_controls.mainWindow, text);
}

void ViewAdapter::bringToFront() { SetForegroundWindow(m_controls.mainWindow); }

// Posted: the window closes once the message being handled is over.
void ViewAdapter::closeWindow() { PostMessageW(m_controls.mainWindow, WM_CLOSE, 0, 0); }

void ViewAdapter::setRowPercent(int row, std::optional<int> percent) { m_rows.setPercent(row, percent); }

void ViewAdapter::showRowReason(int row, const std::string& reason) {
    m_rows.showReason(row, toWide(reason));
}

std::vector<std::string> ViewAdapter::chooseFiles() {
    std::vector<std::string> paths;
    for (const std::wstring& path : AskFilesToAdd(m_controls.mainWindow)) paths.push_back(toUtf8(path));
    return paths;
}

void ViewAdapter::announce(const std::string& text) { m_notice.say(m_controls.mainWindow, toWide(text)); }

void ViewAdapter::focusStartButton() { SetFocus(m_controls.startButton); }

}  // namespace mirvane::win32
