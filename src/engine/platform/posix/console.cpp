#include "engine/platform/console.h"

#include <unistd.h>

#include "engine/platform/posix/posix_internal.h"

namespace mirvane::platform {

namespace {

int descriptor(ConsoleStream stream) { return stream == ConsoleStream::Output ? STDOUT_FILENO : STDERR_FILENO; }

}  // namespace

std::vector<std::string> programArguments(int argc, char** argv) {
    return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>{};
}

bool isTerminal(ConsoleStream stream) { return ::isatty(descriptor(stream)) == 1; }

void writeConsole(ConsoleStream stream, std::string_view text) {
    (void)posix::writeAll(descriptor(stream), text);
}

}  // namespace mirvane::platform
