#pragma once
// The main window's behaviour, whatever toolkit draws it: the start-up
// checks, the job list as the user edits it, the keys, the resets of failed
// rows, the batch behind the start button and the question on closing. A
// window forwards each event to the handler of the same name and shows what
// it is told through MainWindowView.

#include <cstddef>
#include <string>
#include <vector>

#include "engine/encoding/batch_flags.h"
#include "engine/batch/batch_runner.h"
#include "engine/encoding/clock.h"
#include "engine/jobs/app_paths.h"
#include "engine/jobs/folder_walk.h"
#include "engine/jobs/job_list.h"
#include "engine/jobs/journal_keeper.h"
#include "engine/settings/presets.h"
#include "engine/desktop/desktop_services.h"
#include "engine/window/main_window_view.h"
#include "engine/window/spoken_row_ends.h"
#include "engine/desktop/ui_thread.h"

namespace mirvane {

// The keys the window reacts to; every other key is Other. ContextMenu is
// the context-menu key or Shift+F10.
enum class Key { Delete, F1, O, Enter, ContextMenu, Other };

class MainWindowPresenter {
public:
    // desktop: the desktop's services around a batch; none by default.
    MainWindowPresenter(BatchFlags& flags, UiThread& uiThread, MainWindowView& view, const AppPaths& paths,
                        const Clock& clock, DesktopServices& desktop = noDesktopServices());

    // Checks the program's folder, reporting every problem in turn, loads
    // the presets, brings back the rows of a run that did not end normally
    // and adds the command line's files after them.
    void windowCreated(const std::vector<std::string>& commandLineFiles);
    // Closes a window whose start-up failed, once it is up.
    void windowShown();
    // The user asks to close the window: false keeps it open. A confirmed
    // close during a batch stops it; the window then closes by itself once
    // the batch is over.
    bool closeRequested();
    // The window really closes: a normal end, whose rows are not brought
    // back, unless the system asked the program to end.
    void windowClosed();
    // The system asks the program to end (a logout, a shutdown, a plain
    // kill; on Windows the session's end): a running batch stops as the stop
    // button stops it, and this returns only once its jobs have ended and
    // their working files are gone; the window then closes without a
    // question. The rows stay in the journal for the next start, as after a
    // crash, since the user did not choose to end.
    void terminationRequested();

    void startPressed();
    void clearAllPressed();
    // The user chose the preset at index in the list (with the mouse or the keyboard).
    void presetChosen(int index);
    void directShowToggled();
    // Dropped paths in the order the drag source gave them, as exact bytes;
    // a folder stands for its video and audio files (ExpandFolders).
    void filesDropped(const std::vector<std::string>& paths);
    // A key seen by the window before the control that has the focus.
    void keyPressed(Key key, bool control);
    // A key pressed while the job list has the focus.
    void listKeyPressed(Key key);
    // Ctrl+O: the file dialog, whose files are added as a drop would add
    // them; refused as a drop is while a job runs.
    void openFilesRequested();
    // Files another copy of the program was started with: added as a drop
    // would add them, but never refused: during a batch they wait for its end.
    void filesHandedOver(const std::vector<std::string>& paths);
    // The files the running jobs write (none between jobs), removed at the
    // next start if this run does not end normally; kept with the next
    // change of the rows.
    void workingFilesChanged(const std::vector<JournalWorkingFile>& files);

    const JobList& jobs() const { return m_jobs; }
    const JournalKeeper& journal() const { return m_journal; }
    const PresetTable& presets() const { return m_presets; }
    bool busy() const { return m_batch.busy(); }
    // The index of the preset chosen last.
    int chosenPreset() const { return m_lastPresetIndex; }

    // The most files the folders of one drop add: kMaxFolderFiles unless
    // set (a test sets a few).
    void limitFolderFiles(std::size_t limit) { m_folderFileLimit = limit; }
    // The most folders they open: kMaxFolderFolders unless set.
    void limitFolderFolders(std::size_t limit) { m_folderFolderLimit = limit; }

private:
    void restoreJournal();
    void showFailedReason();
    // The files the paths stand for; says once when folders held too many,
    // at once or (now false) once the window is up.
    std::vector<std::string> expandFolders(const std::vector<std::string>& paths, bool sayNow);

    BatchFlags& m_flags;
    MainWindowView& m_view;
    const AppPaths& m_paths;
    // Says each row's end; between the journal and the window.
    SpokenRowEnds m_spokenRows;
    // Between the rows and the window: every change is also written to the
    // journal. Made before the rows, whose view it is; it reads them
    // only once it keeps the journal.
    JournalKeeper m_journal;
    JobList m_jobs;
    PresetTable m_presets;
    BatchRunner m_batch;
    bool m_startupFailed = false;
    // A list brought back from the journal, to be said once the window is up.
    bool m_listRestored = false;
    // The preset chosen last, whose failed rows stay failed until another is.
    int m_lastPresetIndex = 0;
    // A confirmed close that waits for the running batch to return.
    bool m_closePending = false;
    // The system asked the program to end.
    bool m_terminating = false;
    std::size_t m_folderFileLimit = kMaxFolderFiles;
    std::size_t m_folderFolderLimit = kMaxFolderFolders;
    // The command line's folders held too many files, to be said once the window is up.
    bool m_commandLineCut = false;
    // ... or held too many folders, or too deep ones.
    bool m_commandLineFoldersCut = false;
    // Files handed over during a batch, added once it is over.
    std::vector<std::string> m_handedOver;
};

}  // namespace mirvane
