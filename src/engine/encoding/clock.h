#pragma once
// The time the stop watchdog goes by. The program uses the steady clock;
// tests use a clock of their own, so that seconds of waiting cost nothing.

#include <chrono>

namespace mirvane {

class Clock {
public:
    using time_point = std::chrono::steady_clock::time_point;
    virtual ~Clock() = default;
    virtual time_point now() const = 0;
};

class SteadyClock : public Clock {
public:
    time_point now() const override { return std::chrono::steady_clock::now(); }
};

}  // namespace mirvane
