#include "engine/encoding/stop_watchdog.h"

#include <gtest/gtest.h>

#include "support/virtual_clock.h"

namespace mirvane {
namespace {

using std::chrono::milliseconds;

// Passes of the waiting loop at these times after the stop was first seen;
// after each, the kills so far and the sleep the watchdog allows.
struct Pass {
    milliseconds at;
    int kills;
    milliseconds sleep;
};

TEST(StopWatchdog, KillsAfterTheGraceTimeThenAtTheRepeatPace) {
    const Pass passes[] = {
        {milliseconds(0), 0, milliseconds(2500)},   {milliseconds(1), 0, milliseconds(2499)},
        {milliseconds(2499), 0, milliseconds(1)},   {milliseconds(2500), 1, milliseconds(100)},
        {milliseconds(2600), 2, milliseconds(100)}, {milliseconds(2650), 3, milliseconds(100)},
        {milliseconds(9000), 4, milliseconds(100)},
    };
    test::VirtualClock clock;
    clock.advance(milliseconds(12345));  // the stop is not seen at the clock's zero
    std::optional<Clock::time_point> cancelTick;
    StopWatchdog watchdog(clock, cancelTick);
    int kills = 0;
    milliseconds elapsed{0};
    for (const Pass& pass : passes) {
        clock.advance(pass.at - elapsed);
        elapsed = pass.at;
        EXPECT_EQ(watchdog.pass([&] { ++kills; }), pass.sleep) << pass.at.count();
        EXPECT_EQ(kills, pass.kills) << pass.at.count();
    }
}

TEST(StopWatchdog, CountsFromWhenTheStopWasFirstSeen) {
    test::VirtualClock clock;
    std::optional<Clock::time_point> cancelTick = clock.now() - milliseconds(2400);
    StopWatchdog watchdog(clock, cancelTick);
    int kills = 0;
    EXPECT_EQ(watchdog.pass([&] { ++kills; }), milliseconds(100));
    EXPECT_EQ(kills, 0);
    clock.advance(milliseconds(100));
    watchdog.pass([&] { ++kills; });
    EXPECT_EQ(kills, 1);
}

}  // namespace
}  // namespace mirvane
