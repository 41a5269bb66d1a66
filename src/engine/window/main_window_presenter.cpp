#include "engine/window/main_window_presenter.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "engine/platform/files.h"
#include "engine/platform/journal_file.h"
#include "engine/texts/texts.h"

namespace mirvane {

MainWindowPresenter::MainWindowPresenter(BatchFlags& flags, UiThread& uiThread, MainWindowView& view,
                                         const AppPaths& paths, const Clock& clock, DesktopServices& desktop)
    : m_flags(flags),
      m_view(view),
      m_paths(paths),
      m_spokenRows(view),
      m_journal(m_spokenRows, paths.journalFile),
      m_jobs(m_journal),
      m_batch(flags, uiThread, view, m_jobs, paths, m_presets, clock, platform::aviSynthLoads, desktop) {
    m_batch.onHoldChanges([this] { return std::make_shared<JournalKeeper::Hold>(m_journal); });
    m_batch.onWorkingFilesChanged(
        [this](const std::vector<JournalWorkingFile>& files) { workingFilesChanged(files); });
}

void MainWindowPresenter::windowCreated(const std::vector<std::string>& commandLineFiles) {
    m_startupFailed = false;
    m_flags.logEnabled = true;
    m_lastPresetIndex = 0;

    // Every check runs and reports; the window closes once it has been shown.
    auto fail = [this](const std::string& message) {
        m_view.showError(message);
        m_startupFailed = true;
    };
    if (!platform::isReadableFile(m_paths.settingsFile)) fail(texts::kSettingsMissing);
    if (!platform::isExecutableFile(m_paths.encoder)) fail(texts::encoderMissing(kNativePathStyle));
    m_presets = LoadPresets(m_paths.settingsFile);
    std::vector<std::string> titles;
    for (const Preset& preset : m_presets.presets) titles.push_back(preset.title);
    m_view.setPresetTitles(titles);
    if (titles.empty()) fail(texts::kSettingsUnreadable);

    // A start that fails leaves the journal for the next one.
    const JournalKeeper::Hold hold(m_journal);
    if (!m_startupFailed) restoreJournal();
    const std::vector<std::string> files = expandFolders(commandLineFiles, false);
    if (!files.empty()) {
        m_view.setHintVisible(false);
        m_jobs.append(files);
    }
}

std::vector<std::string> MainWindowPresenter::expandFolders(const std::vector<std::string>& paths,
                                                            bool sayNow) {
    // A name holding a NUL names no file: the system would read it only up
    // to the NUL, another file or folder than the one shown.
    std::vector<std::string> names;
    for (const std::string& path : paths)
        if (path.find('\0') == std::string::npos) names.push_back(path);
    DroppedFiles dropped = ExpandFolders(names, {m_folderFileLimit, m_folderFolderLimit});
    if (dropped.cut && sayNow) m_view.showInformation(texts::folderFilesCut(m_folderFileLimit));
    if (dropped.cut && !sayNow) m_commandLineCut = true;
    if (dropped.foldersCut && sayNow)
        m_view.showInformation(texts::folderFoldersCut(m_folderFolderLimit, kMaxFolderDepth));
    if (dropped.foldersCut && !sayNow) m_commandLineFoldersCut = true;
    return std::move(dropped.files);
}

// A journal left behind means the last run did not end normally: its rows
// come back as they were, but the jobs it was running start again from the
// beginning, their half-written outputs gone.
void MainWindowPresenter::restoreJournal() {
    std::optional<JobJournal> journal = m_journal.takeOver(m_jobs);
    if (!journal) return;
    // Only the very file the run made, and only while it bears a working
    // name: a name alone, or a name now given to another file, is left be.
    for (const JournalWorkingFile& file : journal->workingFiles)
        if (file.identity && IsWorkingOutputName(file.path))
            (void)platform::removeFileWithId(file.path, *file.identity);
    if (journal->rows.empty()) return;
    for (JobRow& row : journal->rows)
        if (row.status == JobStatus::Converting) row.status = JobStatus::Pending;
    m_view.setHintVisible(false);
    m_jobs.appendRows(std::move(journal->rows));
    m_listRestored = true;
}

// The notices of the start wait for the window: shown while it is being
// made, a box would hold up the copies that hand it files.
void MainWindowPresenter::windowShown() {
    if (m_startupFailed) {
        m_view.closeWindow();
        return;
    }
    if (std::exchange(m_listRestored, false)) m_view.showInformation(texts::kListRestored);
    if (std::exchange(m_commandLineCut, false))
        m_view.showInformation(texts::folderFilesCut(m_folderFileLimit));
    if (std::exchange(m_commandLineFoldersCut, false))
        m_view.showInformation(texts::folderFoldersCut(m_folderFolderLimit, kMaxFolderDepth));
}

bool MainWindowPresenter::closeRequested() {
    if (m_batch.busy() && !m_terminating && !m_view.confirmForcedQuit(texts::kForcedQuitQuestion))
        return false;
    m_batch.requestStop();
    // A running batch lives inside the start button's handler, called from
    // this very window: the window stays until that handler has returned.
    if (m_batch.isRunning()) {
        m_closePending = true;
        return false;
    }
    return true;
}

void MainWindowPresenter::windowClosed() {
    if (!m_terminating) m_journal.stop();
}

void MainWindowPresenter::terminationRequested() {
    if (std::exchange(m_terminating, true)) return;
    m_batch.requestStop();
    m_batch.stopAndWait();
    m_view.closeWindow();
}

void MainWindowPresenter::startPressed() {
    if (m_batch.busy()) {
        m_view.announce(texts::kSayStopping);
        m_batch.startOrStop();
        return;  // the batch ends in the press that started it
    }
    const bool anyPending = std::any_of(m_jobs.rows().begin(), m_jobs.rows().end(),
                                        [](const JobRow& row) { return row.status == JobStatus::Pending; });
    if (anyPending) {
        m_spokenRows.batchStarted();
        m_view.announce(texts::kSayStarted);
    } else {
        m_view.announce(texts::kSayNothingToConvert);
    }
    m_batch.startOrStop();
    // The stop disabled the button, and the toolkit moved the focus on; a
    // keyboard user finds it where they pressed.
    if (m_flags.stopRequested && !m_closePending) m_view.focusStartButton();
    if (anyPending && !m_closePending)
        m_view.announce(
            texts::batchEndSaying(m_flags.stopRequested, m_spokenRows.converted(), m_spokenRows.failed()));
    if (!m_handedOver.empty()) filesDropped(std::exchange(m_handedOver, {}));
    if (m_closePending) {
        m_closePending = false;
        m_view.closeWindow();
    }
}

void MainWindowPresenter::clearAllPressed() {
    m_jobs.clear();
    m_view.announce(texts::kSayCleared);
    m_view.gauge().setProgress(0);
    m_view.setHintVisible(true);
}

void MainWindowPresenter::presetChosen(int index) {
    if (index == m_lastPresetIndex) return;
    const JournalKeeper::Hold hold(m_journal);
    m_jobs.resetFailed();
    m_lastPresetIndex = index;
}

void MainWindowPresenter::directShowToggled() {
    const JournalKeeper::Hold hold(m_journal);
    m_jobs.resetFailed();
}

// A drop during a job is discarded: the batch walks the rows by index and
// must find them as they were.
void MainWindowPresenter::filesDropped(const std::vector<std::string>& paths) {
    if (paths.empty()) return;
    if (m_batch.busy()) {
        m_view.announce(texts::kSayBusyNoAdd);
        return;
    }
    const std::vector<std::string> files = expandFolders(paths, true);
    if (!files.empty()) {
        m_view.setHintVisible(false);
        m_jobs.append(files);
        m_view.announce(texts::filesAddedSaying(files.size()));
    }
    m_view.bringToFront();
}

void MainWindowPresenter::filesHandedOver(const std::vector<std::string>& paths) {
    if (m_batch.isRunning()) {
        m_handedOver.insert(m_handedOver.end(), paths.begin(), paths.end());
        return;
    }
    filesDropped(paths);
}

void MainWindowPresenter::workingFilesChanged(const std::vector<JournalWorkingFile>& files) {
    m_journal.setWorkingFiles(files);
}

void MainWindowPresenter::keyPressed(Key key, bool control) {
    // Only while idle, so that a job is logged completely or not at all.
    if (key == Key::F1 && control && !m_batch.busy()) m_flags.logEnabled = false;
    if (key == Key::O && control) openFilesRequested();
}

void MainWindowPresenter::openFilesRequested() {
    if (m_batch.busy()) {
        m_view.announce(texts::kSayBusyNoAdd);
        return;
    }
    filesDropped(m_view.chooseFiles());
}

void MainWindowPresenter::listKeyPressed(Key key) {
    if (key == Key::Enter || key == Key::ContextMenu) {
        showFailedReason();
        return;
    }
    if (key != Key::Delete) return;
    if (m_batch.busy()) {
        m_view.announce(texts::kSayBusyNoRemove);
        return;
    }
    const int before = m_jobs.size();
    m_jobs.remove(m_view.selectedRows());
    m_view.announce(m_jobs.size() < before ? texts::rowsRemovedSaying(before - m_jobs.size())
                                           : std::string(texts::kSayNothingSelected));
    if (m_jobs.empty()) {
        m_view.gauge().setProgress(0);
        m_view.setHintVisible(true);
    }
}

// The first failed row of the selection: the one the key was pressed on
// when a single row is selected, as it usually is.
void MainWindowPresenter::showFailedReason() {
    for (const int row : m_view.selectedRows()) {
        if (row < 0 || row >= m_jobs.size()) continue;
        const JobRow& data = m_jobs.row(row);
        if (data.status != JobStatus::Failed) continue;
        m_view.showRowReason(row, data.reason);
        m_view.announce(texts::errorWithReason(data.reason));
        return;
    }
    if (!m_view.selectedRows().empty()) m_view.announce(texts::kSayNotFailed);
}

}  // namespace mirvane
