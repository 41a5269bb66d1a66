#pragma once
// The encoder's command line stays one string (it is what the log records).
// Where processes take an argument vector it is split by the rules Windows
// programs apply to their own command line, so that a preset's option text
// means the same on every system; paths are quoted by the inverse rule.

#include <string>
#include <string_view>
#include <vector>

namespace mirvane {

// Splits a command line into arguments as Windows' CommandLineToArgvW does:
// blanks and tabs separate, quotes group, backslashes are literal except
// before a quote; the first argument (the program) takes no escapes and ends
// at the first blank, so a line that begins with a blank has an empty first
// argument. The empty line has no arguments (Windows would answer with the
// calling program's own path, which means nothing for a line handed on).
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

// Quotes text so that SplitCommandLine gives it back as exactly one argument
// (for any argument after the first).
std::string QuoteArgument(std::string_view text);

// The program's path as the first argument: enclosed in quotes only when it
// holds a blank or a tab, so the common command reads plainly. The first
// argument takes no escapes, so a quote inside the path stays bare (it is
// literal there); a path that both holds a blank and a quote, or begins with
// a quote, cannot be written.
std::string QuoteProgram(std::string_view path);

// The arguments that follow the program's part of a command line. When the
// line begins with QuoteProgram(program), as every line built for that
// program does, the rest is split; a program's path that cannot be written
// into a line (one with both a blank and a quote) would otherwise cut the
// split short and shift every argument. Any other line loses its first
// argument, whatever it says.
std::vector<std::string> ArgumentsAfterProgram(std::string_view program, std::string_view commandLine);

}  // namespace mirvane
