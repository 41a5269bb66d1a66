#pragma once
// What the engine reads and writes of the window: the job rows, the gauge,
// the command controls. The window implements it over its widgets, tests over
// plain values. Called on the UI thread only.

#include <string>

namespace mirvane {

class GaugeView {
public:
    virtual ~GaugeView() = default;
    virtual void setMaxValue(int value) = 0;
    virtual void setProgress(int value) = 0;
};

class BatchView {
public:
    virtual ~BatchView() = default;

    virtual int rowCount() const = 0;
    virtual std::string rowCaption(int row) const = 0;
    virtual std::string rowStatus(int row) const = 0;
    virtual void setRowStatus(int row, const std::string& status) = 0;

    virtual GaugeView& gauge() = 0;

    virtual std::string startCaption() const = 0;
    virtual void setStartCaption(const std::string& caption) = 0;
    virtual void setStartEnabled(bool enabled) = 0;
    // btnAllClr, lbTo and chkDShow, which are switched together.
    virtual void setOptionControlsEnabled(bool enabled) = 0;

    virtual int selectedPreset() const = 0;
    virtual bool directShowTicked() const = 0;
};

}  // namespace mirvane
