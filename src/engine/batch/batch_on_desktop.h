#pragma once
// What the desktop shows of a batch beyond the window: the computer kept
// awake while it runs, the gauge and the files left on the taskbar button,
// and a word at its end for a user who is elsewhere. It stands between the
// batch and the window's gauge, so that the taskbar shows what the gauge
// shows, and sends only what changes the taskbar.

#include "engine/jobs/job_list.h"
#include "engine/desktop/desktop_services.h"
#include "engine/desktop/gauge_scale.h"
#include "engine/desktop/batch_view.h"

namespace mirvane {

class BatchOnDesktop : public GaugeView {
public:
    // The window's gauge is asked of the view at each change: a window makes its controls after its
    // behaviour.
    BatchOnDesktop(BatchView& window, DesktopServices& desktop);

    // A batch with this many rows to convert begins; one with none shows nothing.
    void batchStarted(int rows);
    // A row of the batch is over with this status; a stopped one (pending) is not.
    void rowFinished(JobStatus status);
    // stopped: by the stop button or a close; a user who asked for the end
    // needs no word of it.
    void batchEnded(bool stopped);

    void setMaxValue(int value) override;
    void setProgress(int value) override;

private:
    // Sends the progress unless the taskbar already shows it.
    void show(const TaskbarProgress& progress);
    void showBatch();

    BatchView& m_window;
    DesktopServices& m_desktop;
    GaugeScale m_scale;
    bool m_running = false;
    int m_left = 0;
    int m_converted = 0;
    int m_failed = 0;
    TaskbarProgress m_shown;
};

}  // namespace mirvane
