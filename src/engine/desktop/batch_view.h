#pragma once
// What a running batch shows and reads in the window: the rows, the gauge,
// the command controls, and the user's choice of preset. The window's view
// offers it; the batch knows nothing else of the window.
// Called on the UI thread only.

#include <optional>
#include <string>

#include "engine/desktop/gauge_view.h"
#include "engine/jobs/job_list.h"

namespace mirvane {

enum class StartCaption { Start, Stop };

class BatchView : public JobListView {
public:
    virtual GaugeView& gauge() = 0;

    virtual void setStartCaption(StartCaption caption) = 0;
    virtual void setStartEnabled(bool enabled) = 0;
    // "すべてクリア", the preset list and the DirectShow box, switched together.
    virtual void setOptionControlsEnabled(bool enabled) = 0;

    // The selected preset's index; -1 when the list is empty.
    virtual int selectedPreset() const = 0;
    virtual bool directShowTicked() const = 0;

    // A converting row's own percentage beside its status, shown while
    // several jobs run at once; nullopt takes it away.
    virtual void setRowPercent(int row, std::optional<int> percent) = 0;
    // A row's output is complete under its final name (for several files,
    // the one the encoder was told to write); told just before the row
    // becomes 変換済. A window shows it in the log only.
    virtual void rowOutputKept(int /*row*/, const std::string& /*output*/) {}
};

}  // namespace mirvane
