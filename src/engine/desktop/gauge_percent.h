#pragma once
// The whole percentage a gauge shows, the same in every window.

namespace mirvane {

// 100 × progress / maxValue, truncated toward zero; 0 for an empty scale.
// Computed in one division: taking the share first and multiplying after
// rounds 29/100 down to 28.
constexpr int GaugePercent(int progress, int maxValue) {
    if (maxValue <= 0) return 0;
    return static_cast<int>(100.0 * progress / maxValue);
}

}  // namespace mirvane
