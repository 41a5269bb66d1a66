#pragma once
// What the desktop hears of a batch beyond the window: the computer kept
// awake while it runs, the batch's percentage and the files left on the
// taskbar button, and a word at its end for a user who is elsewhere. Only
// what changes the taskbar is sent.

#include "engine/desktop/desktop_services.h"
#include "engine/jobs/job_list.h"

namespace mirvane {

class DesktopReporter {
public:
    explicit DesktopReporter(DesktopServices& desktop);

    // A batch with this many rows to convert begins; one with none shows nothing.
    void batchStarted(int rows);
    // The whole percentage the window's gauge shows.
    void showPercent(int percent);
    // A row of the batch is over with this status; a stopped one (pending) is not.
    void rowFinished(JobStatus status);
    // stopped: by the stop button or a close; a user who asked for the end
    // needs no word of it.
    void batchEnded(bool stopped);

private:
    // Sends the progress unless the taskbar already shows it.
    void show(const TaskbarProgress& progress);
    void showBatch();

    DesktopServices& m_desktop;
    bool m_running = false;
    int m_percent = 0;
    int m_left = 0;
    int m_converted = 0;
    int m_failed = 0;
    TaskbarProgress m_shown;
};

}  // namespace mirvane
