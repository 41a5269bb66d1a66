#pragma once
// mirvane-cli from its arguments to its exit status: the window's presets
// and batch, without a window, for terminals, scripts and job runners.

#include <string>
#include <vector>

namespace mirvane::cli {

// The exit statuses a script can tell apart.
inline constexpr int kExitAllConverted = 0;
inline constexpr int kExitSomeFailed = 1;
inline constexpr int kExitBadUsage = 2;
// As a shell reports a program that SIGINT ended: 128 + 2.
inline constexpr int kExitInterrupted = 130;

int RunConsoleProgram(const std::vector<std::string>& arguments);

}  // namespace mirvane::cli
