// The system's text: UTF-8, shared by the console and the file system.

#include "engine/platform/text.h"

namespace mirvane::platform {

// UTF-8 has no double-byte characters whose trail byte could be taken for a
// path separator.
bool isLeadByte(unsigned char) { return false; }

// POSIX texts name no file.
std::string errorText(const std::error_code& error, std::string_view) { return error.message(); }

// The encoder writes to its console in the same UTF-8 the system uses.
void consoleToSystemText(std::string&) {}

}  // namespace mirvane::platform
