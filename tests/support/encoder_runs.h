#pragma once
// Runs of the fake encoder through the platform's EncoderProcess, as the
// engine makes them, for the process tests of every system.

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "engine/platform/process.h"

namespace mirvane::test {

// A command line for the fake encoder (or the program standing in its place)
// with the given steps.
std::string fakeCommand(const std::vector<std::string>& steps,
                        const std::string& program = MIRVANE_FAKE_ENCODER);

// Reads until the pipe's end.
std::string readToEnd(platform::EncoderProcess& process);

// Starts the fake encoder, reads everything, closes: the engine's order of calls.
std::string runToEnd(const std::vector<std::string>& steps);

// Polls the condition until it holds or the limit has passed.
bool waitUntil(const std::function<bool()>& condition, std::chrono::steady_clock::duration limit);

// The process id a fake encoder wrote with pidfile:PATH; 0 when none came.
int readPidFile(const std::string& path);

// Whether every process of the group has ended within a second.
bool groupGone(int group);

}  // namespace mirvane::test
