// The system's own code page on POSIX systems is UTF-8: text that is not
// valid UTF-8 is kept byte for byte, as file names are.

#include "engine/platform/text.h"

namespace mirvane::platform {

std::string systemCodePageToUtf8(std::string_view text) { return std::string(text); }

std::optional<std::string> utf8ToSystemCodePage(std::string_view text) { return std::string(text); }

}  // namespace mirvane::platform
