#include "engine/desktop/gauge_scale.h"

#include <gtest/gtest.h>

#include <climits>

namespace mirvane {
namespace {

// From maxValue and progressBefore, the progress is set, then the maximum;
// redraws counts the calls that asked for the gauge to be drawn again.
TEST(GaugeScale, ClampTruncateAndRedrawOnlyOnAVisibleChange) {
    struct Case {
        const char* name;
        int maxValue, progressBefore;
        int newProgress, newMax;
        int progress, percent, redraws;
    };
    const Case cases[] = {
        {"AboveMaxBecomesMax", 100, 40, 150, 100, 100, 100, 1},
        {"BelowMinBecomesMin", 100, 40, -5, 100, 0, 0, 1},
        {"ClampedToCurrentDoesNothing", 100, 100, 150, 100, 100, 100, 0},
        {"TwoThirdsTruncateTo66", 3, 0, 2, 3, 2, 66, 1},
        {"SameWholePercentNoRedraw", 1000, 10, 19, 1000, 19, 1, 0},
        {"NextWholePercentRedraws", 1000, 10, 20, 1000, 20, 2, 1},
        {"DownwardPercentRedraws", 100, 40, 39, 100, 39, 39, 1},
        {"LargeMaxKeepsPrecision", INT_MAX, 0, INT_MAX - 1, INT_MAX, INT_MAX - 1, 99, 1},
        {"LoweredMaxPullsProgressDown", 100, 0, 50, 30, 30, 100, 2},
        {"MaxZeroKeepsProgressAtZero", 100, 0, 7, 0, 0, 0, 2},
        {"MaxZeroIsTheLowestAccepted", 0, 0, 1, 0, 0, 0, 0},
        {"NewMaxRedraws", 100, 0, 0, 200, 0, 0, 1},
        {"SameMaxNoRedraw", 100, 40, 40, 100, 40, 40, 0},
    };
    for (const Case& c : cases) {
        GaugeScale scale;
        scale.setMaxValue(c.maxValue);
        scale.setProgress(c.progressBefore);
        const int redraws = int(scale.setProgress(c.newProgress)) + int(scale.setMaxValue(c.newMax));
        EXPECT_EQ(scale.progress(), c.progress) << c.name;
        EXPECT_EQ(scale.percent(), c.percent) << c.name;
        EXPECT_EQ(redraws, c.redraws) << c.name;
    }
}

TEST(GaugeScale, MaxBelowMinIsRefusedWithTheUsersTextAndChangesNothing) {
    GaugeScale scale;
    scale.setMaxValue(80);
    scale.setProgress(40);
    try {
        scale.setMaxValue(-1);
        ADD_FAILURE() << "accepted";
    } catch (const InvalidOperation& error) {
        EXPECT_STREQ(error.what(), "0 から 2147483647 の間の値でなければなりません");
    }
    EXPECT_EQ(scale.maxValue(), 80);
    EXPECT_EQ(scale.progress(), 40);
}

}  // namespace
}  // namespace mirvane
