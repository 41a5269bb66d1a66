#pragma once
// A gauge as the engine drives it: a scale and a position on it. Each window
// draws it its own way; a job's progress reaches it through one.

namespace mirvane {

class GaugeView {
public:
    virtual ~GaugeView() = default;
    virtual void setMaxValue(int value) = 0;
    virtual void setProgress(int value) = 0;
};

}  // namespace mirvane
