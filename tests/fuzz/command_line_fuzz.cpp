// Splitting never fails on any text, and any text without a NUL byte that is
// quoted and split again comes back as exactly that one argument.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/formats/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    (void)mirvane::SplitCommandLine(text);

    std::string argument(text.substr(0, text.find('\0')));
    auto parts = mirvane::SplitCommandLine("prog " + mirvane::QuoteArgument(argument) + " " +
                                           mirvane::QuoteArgument(argument + "\\"));
    if (parts.size() != 3 || parts[0] != "prog" || parts[1] != argument || parts[2] != argument + "\\") {
        std::abort();
    }
    return 0;
}
