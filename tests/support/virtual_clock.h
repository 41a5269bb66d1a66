#pragma once
// A clock that moves only when told, for the stop watchdog's seconds.

#include "engine/encoding/clock.h"

namespace mirvane::test {

class VirtualClock : public Clock {
public:
    time_point now() const override { return m_now; }
    void advance(std::chrono::milliseconds by) { m_now += by; }

private:
    time_point m_now{};
};

}  // namespace mirvane::test
