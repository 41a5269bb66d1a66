// Entry of mirvane-cli, on every system: a console program on the window's
// engine and presets, without a window.

#include "cli/console_program.h"
#include "engine/platform/console.h"

int main(int argc, char* argv[]) {
    return mirvane::cli::RunConsoleProgram(mirvane::platform::programArguments(argc, argv));
}
