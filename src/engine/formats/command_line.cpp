#include "engine/formats/command_line.h"

#include <cstddef>

namespace mirvane {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::size_t skipBlanks(std::string_view text, std::size_t i) {
    while (i < text.size() && isBlank(text[i])) {
        ++i;
    }
    return i;
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view commandLine) {
    std::vector<std::string> arguments;
    // Windows' own rule, which the encoder applies there: the program's part
    // ends at the first blank, so a line that begins with one names an empty
    // program and everything after it is an argument.
    std::size_t i = 0;
    if (commandLine.empty()) {
        return arguments;
    }

    // The program's path takes no escapes: a Windows path is full of
    // backslashes and cannot hold a quote, so neither needs one.
    std::string program;
    if (commandLine[i] == '"') {
        ++i;
        while (i < commandLine.size() && commandLine[i] != '"') {
            program += commandLine[i++];
        }
        if (i < commandLine.size()) {
            ++i;
        }
    } else {
        while (i < commandLine.size() && !isBlank(commandLine[i])) {
            program += commandLine[i++];
        }
    }
    arguments.push_back(std::move(program));

    i = skipBlanks(commandLine, i);
    while (i < commandLine.size()) {
        std::string argument;
        bool quoted = false;
        while (i < commandLine.size() && (quoted || !isBlank(commandLine[i]))) {
            if (commandLine[i] == '\\') {
                std::size_t backslashes = 0;
                while (i < commandLine.size() && commandLine[i] == '\\') {
                    ++backslashes;
                    ++i;
                }
                if (i == commandLine.size() || commandLine[i] != '"') {
                    argument.append(backslashes, '\\');
                    continue;
                }
                argument.append(backslashes / 2, '\\');
                if (backslashes % 2 == 1) {
                    argument += '"';
                    ++i;
                    continue;
                }
                // An even run leaves the quote to group, like a bare one.
            }
            if (commandLine[i] == '"') {
                ++i;
                if (quoted && i < commandLine.size() && commandLine[i] == '"') {
                    argument += '"';
                    ++i;
                }
                quoted = !quoted;
                continue;
            }
            argument += commandLine[i++];
        }
        arguments.push_back(std::move(argument));
        i = skipBlanks(commandLine, i);
    }
    return arguments;
}

std::string QuoteArgument(std::string_view text) {
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (char c : text) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            quoted.append(2 * backslashes + 1, '\\');
        } else {
            quoted.append(backslashes, '\\');
        }
        backslashes = 0;
        quoted += c;
    }
    // The closing quote must not be escaped by the text's own backslashes.
    quoted.append(2 * backslashes, '\\');
    quoted += '"';
    return quoted;
}

std::string QuoteProgram(std::string_view path) {
    if (path.find_first_of(" \t") == std::string_view::npos) {
        return std::string(path);
    }
    // The program's path takes no escapes, so it is only enclosed.
    std::string quoted = "\"";
    quoted += path;
    quoted += '"';
    return quoted;
}

std::vector<std::string> ArgumentsAfterProgram(std::string_view program, std::string_view commandLine) {
    const std::string programPart = QuoteProgram(program);
    const std::size_t start = skipBlanks(commandLine, 0);
    const std::string_view rest = commandLine.substr(start);
    std::vector<std::string> arguments;
    if (!programPart.empty() && rest.starts_with(programPart) &&
        (rest.size() == programPart.size() || isBlank(rest[programPart.size()]))) {
        // Any plain word stands in for the program, whose part takes other rules.
        std::string line = "p";
        line += rest.substr(programPart.size());
        arguments = SplitCommandLine(line);
    } else {
        arguments = SplitCommandLine(commandLine);
    }
    if (!arguments.empty()) arguments.erase(arguments.begin());
    return arguments;
}

}  // namespace mirvane
