#pragma once
// The values behind every progress gauge: the maximum, the progress clamped
// between zero and it, and whether a change shows. Each window draws the
// gauge in its own way; these rules are the same in all of them.

#include <stdexcept>

#include "engine/desktop/gauge_percent.h"

namespace mirvane {

// A refused gauge value; what() holds the text shown to the user.
class InvalidOperation : public std::invalid_argument {
public:
    using std::invalid_argument::invalid_argument;
};

// Whether a gauge with the given maximum shows the two progress values as the
// same whole percentage, each clamped into the scale first.
constexpr bool GaugeShowsAlike(int progress, int other, int maxValue) {
    auto shown = [maxValue](int value) {
        return GaugePercent(value < 0 ? 0 : (value > maxValue ? maxValue : value), maxValue);
    };
    return shown(progress) == shown(other);
}

class GaugeScale {
public:
    static constexpr int kMinValue = 0;

    int minValue() const { return kMinValue; }
    int maxValue() const { return m_maxValue; }
    int progress() const { return m_progress; }
    // The whole percentage shown, truncated toward zero.
    int percent() const { return GaugePercent(m_progress, m_maxValue); }

    // True when the gauge must be drawn again: always for a new maximum.
    // Throws InvalidOperation for a value below minValue(); then nothing changes.
    bool setMaxValue(int value);
    // Clamps value into [minValue(), maxValue()]. True only when the whole
    // percentage changed: a progress that shows the same number costs no drawing.
    bool setProgress(int value);

private:
    int m_maxValue = 100;
    int m_progress = 0;
};

}  // namespace mirvane
