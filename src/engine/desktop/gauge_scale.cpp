#include "engine/desktop/gauge_scale.h"

#include <algorithm>
#include <climits>
#include <string>

namespace mirvane {

bool GaugeScale::setMaxValue(int value) {
    if (value == m_maxValue) return false;
    // A maximum equal to the minimum is an empty scale, shown as 0 %: an
    // input shorter than a second reports a length of 0.
    if (value < kMinValue) {
        throw InvalidOperation(std::to_string(kMinValue) + " から " + std::to_string(INT_MAX) +
                               " の間の値でなければなりません");
    }
    m_maxValue = value;
    m_progress = std::min(m_progress, m_maxValue);
    return true;
}

bool GaugeScale::setProgress(int value) {
    const int clamped = std::clamp(value, kMinValue, m_maxValue);
    if (clamped == m_progress) return false;
    const int before = m_progress;
    m_progress = clamped;
    return !GaugeShowsAlike(clamped, before, m_maxValue);
}

}  // namespace mirvane
