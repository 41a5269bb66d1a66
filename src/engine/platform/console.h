#pragma once
// The console a program without a window speaks through: its arguments as
// UTF-8, and its two output streams, written whole whatever they are (a
// terminal, a pipe, a file).

#include <string>
#include <string_view>
#include <vector>

namespace mirvane::platform {

enum class ConsoleStream { Output, Error };

// The program's arguments after its own name, in UTF-8. Windows hands a
// program its arguments in the ANSI code page, which cannot hold every name:
// there they are read from the wide command line instead of argv.
std::vector<std::string> programArguments(int argc, char** argv);

// True when the stream is a terminal a person reads: one line per job may
// then be redrawn in place with its control sequences (which are turned on
// where the system needs it).
bool isTerminal(ConsoleStream stream);

// Writes the UTF-8 text whole; a terminal on Windows is given it as UTF-16,
// so that any name shows whatever the console's code page. Errors (a closed
// pipe) are left to the caller's end.
void writeConsole(ConsoleStream stream, std::string_view text);

}  // namespace mirvane::platform
