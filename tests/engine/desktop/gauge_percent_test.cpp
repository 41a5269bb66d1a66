#include "engine/desktop/gauge_percent.h"

#include <gtest/gtest.h>

namespace mirvane {
namespace {

TEST(GaugePercent, NamedCases) {
    struct Case {
        int progress, maxValue, percent;
    };
    const Case cases[] = {
        {29, 100, 29},     {1, 3, 33},    {2, 3, 66},
        {0, 0, 0},         {5, 0, 0},     {0, 1000, 0},
        {1000, 1000, 100}, {19, 1000, 1}, {2147483646, 2147483647, 99},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GaugePercent(c.progress, c.maxValue), c.percent) << c.progress << "/" << c.maxValue;
}

// Every pair up to a maximum of 1000 against exact integer arithmetic: taking
// the share first and multiplying after loses a percent on some of them.
TEST(GaugePercent, EveryPairUpToAThousandIsExact) {
    for (int maxValue = 1; maxValue <= 1000; ++maxValue)
        for (int progress = 0; progress <= maxValue; ++progress)
            ASSERT_EQ(GaugePercent(progress, maxValue), 100 * progress / maxValue)
                << progress << "/" << maxValue;
}

}  // namespace
}  // namespace mirvane
