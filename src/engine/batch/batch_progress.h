#pragma once
// The progress of a batch that runs several jobs at once: each running row
// shows its own percentage beside its status, and the gauge shows the whole
// batch, the finished rows and the running rows' shares over the rows the
// batch set out to convert.

#include <memory>
#include <optional>
#include <vector>

#include "engine/desktop/batch_view.h"

namespace mirvane {

class BatchProgress {
public:
    // gauge: the batch's gauge (the window's, as the desktop follows it).
    BatchProgress(BatchView& view, GaugeView& gauge);
    ~BatchProgress();

    // A batch with this many rows to convert begins: the gauge at zero.
    void batchStarted(int rows);
    // The gauge a row's job reports its length and position to.
    GaugeView& rowStarted(int row);
    // The row's job is over: its percentage goes from beside its status, and
    // a finished row (converted or failed, not stopped) counts as whole.
    void rowEnded(int row, bool finished);
    // The gauge back at zero.
    void batchEnded();

private:
    class RowGauge;
    void showBatch();

    BatchView& m_view;
    GaugeView& m_gauge;
    int m_finished = 0;
    std::vector<std::unique_ptr<RowGauge>> m_running;
};

}  // namespace mirvane
