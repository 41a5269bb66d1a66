#include "cli/command_options.h"

#include <charconv>
#include <string_view>

#include "engine/texts/texts.h"

namespace mirvane::cli {

namespace {

std::optional<int> parseJobs(std::string_view text) {
    int jobs = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), jobs);
    if (error != std::errc() || end != text.data() + text.size() || jobs < 1 || jobs > kMaxConsoleJobs)
        return std::nullopt;
    return jobs;
}

}  // namespace

ParsedCommand ParseCommandLine(const std::vector<std::string>& arguments) {
    ParsedCommand parsed;
    CommandOptions& options = parsed.options;
    bool optionsOver = false;
    for (std::size_t i = 0; i < arguments.size() && parsed.error.empty(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsOver || argument.size() < 2 || argument[0] != '-') {
            options.inputs.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsOver = true;
            continue;
        }
        std::string name = argument;
        std::optional<std::string> value;
        if (const std::size_t equals = argument.find('='); argument.starts_with("--") && equals != std::string::npos) {
            name = argument.substr(0, equals);
            value = argument.substr(equals + 1);
        }
        const bool takesValue = name == "--preset" || name == "--jobs" || name == "--settings";
        if (takesValue && !value) {
            if (i + 1 == arguments.size()) {
                parsed.error = texts::fill(texts::kConsoleMissingValue, {{"option", name}});
                break;
            }
            value = arguments[++i];
        }
        if (name == "--preset") {
            options.preset = *value;
        } else if (name == "--jobs") {
            options.jobs = parseJobs(*value);
            if (!options.jobs) parsed.error = texts::fill(texts::kConsoleBadJobs, {{"value", *value}});
        } else if (name == "--settings") {
            options.settingsFile = *value;
        } else if (name == "--json" && !value) {
            options.json = true;
        } else if (name == "--list-presets" && !value) {
            options.action = CommandOptions::Action::ListPresets;
        } else if ((name == "--help" || name == "-h") && !value) {
            options.action = CommandOptions::Action::Help;
        } else if (name == "--version" && !value) {
            options.action = CommandOptions::Action::Version;
        } else {
            parsed.error = texts::fill(texts::kConsoleUnknownOption, {{"option", argument}});
        }
    }
    if (parsed.error.empty() && options.action == CommandOptions::Action::Convert && options.inputs.empty())
        parsed.error = texts::kConsoleNoFiles.c_str();
    return parsed;
}

}  // namespace mirvane::cli
