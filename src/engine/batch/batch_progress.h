#pragma once
// A batch's progress as the window and the desktop show it. Each running
// row's job reports its length and position to a gauge of its own; with one
// row at a time the window's gauge shows the running row, with several each
// running row shows its own percentage beside its status and the gauge the
// whole batch: the finished rows and the running rows' shares over the rows
// the batch set out to convert. The desktop hears the gauge's percentage.

#include <memory>
#include <vector>

#include "engine/batch/desktop_reporter.h"
#include "engine/desktop/batch_view.h"

namespace mirvane {

class BatchProgress {
public:
    BatchProgress(BatchView& view, DesktopReporter& desktop);
    ~BatchProgress();

    // A batch with this many rows to convert begins, rowsAtOnce of them at a time.
    void batchStarted(int rows, int rowsAtOnce);
    // The gauge a row's job reports its length and position to.
    GaugeView& rowStarted(int row);
    // The row is over with this status (whether its job started or not):
    // its percentage goes, and a finished row (converted or failed, not
    // stopped) counts as whole.
    void rowEnded(int row, JobStatus status);
    // stopped: by the stop button or a close.
    void batchEnded(bool stopped);

private:
    class RowGauge;
    void rowChanged(RowGauge& gauge, bool newLength);
    void showBatch();

    BatchView& m_view;
    DesktopReporter& m_desktop;
    int m_rows = 0;
    // Several rows at a time: each shows its own percentage, the gauge the batch.
    bool m_eachRow = false;
    int m_finished = 0;
    std::vector<std::unique_ptr<RowGauge>> m_running;
};

}  // namespace mirvane
