// Entry of mirvane-cli, on every system: a console program on the window's
// engine and presets, without a window.

#include "cli/console_program.h"
#include "engine/platform/console.h"
#include "engine/platform/user_language.h"
#include "engine/texts/texts.h"

int main(int argc, char* argv[]) {
    mirvane::texts::useLanguage(mirvane::platform::userLanguage());
    return mirvane::cli::RunConsoleProgram(mirvane::platform::programArguments(argc, argv));
}
