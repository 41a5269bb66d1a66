#pragma once
// What the command line asks of mirvane-cli: an action, its options and the
// files or folders to convert, or why the line cannot be understood.

#include <optional>
#include <string>
#include <vector>

namespace mirvane::cli {

struct CommandOptions {
    enum class Action { Convert, ListPresets, Help, Version };
    Action action = Action::Convert;
    // A preset's number as --list-presets shows it (from 1), or its title.
    std::optional<std::string> preset;
    std::optional<int> jobs;
    std::optional<std::string> settingsFile;
    bool json = false;
    std::vector<std::string> inputs;
};

// The most jobs the command line may ask for at once.
inline constexpr int kMaxConsoleJobs = 64;

struct ParsedCommand {
    CommandOptions options;
    // Why the line is not understood; empty when it is.
    std::string error;
};

// Options may come anywhere before "--" ("--name value" or "--name=value");
// every other argument, and all after "--", is a file or folder.
ParsedCommand ParseCommandLine(const std::vector<std::string>& arguments);

}  // namespace mirvane::cli
