#pragma once
// Between the rows and the window: passes every change on, and says each
// row's end once (変換済, エラー with its reason, 未変換 after a stop), one
// utterance per row change, so that a screen reader user hears what the
// list shows without having to look for it. Counts the batch's ends for the
// word at its end.

#include <vector>

#include "engine/jobs/job_list.h"
#include "engine/window/main_window_view.h"

namespace mirvane {

class SpokenRowEnds : public JobListView {
public:
    explicit SpokenRowEnds(MainWindowView& view) : m_view(view) {}

    void rowsAppended(std::span<const JobRow> rows) override;
    void rowChanged(int row, const JobRow& data) override;
    void rowsRemoved(const std::vector<int>& rows) override;
    void rowsCleared() override;

    // Starts counting a new batch's ends.
    void batchStarted() { m_converted = m_failed = 0; }
    int converted() const { return m_converted; }
    int failed() const { return m_failed; }

private:
    MainWindowView& m_view;
    // Which rows are converting: only their ends are said, not a reset of
    // failed rows nor the rows brought back at start-up.
    std::vector<bool> m_converting;
    int m_converted = 0;
    int m_failed = 0;
};

}  // namespace mirvane
