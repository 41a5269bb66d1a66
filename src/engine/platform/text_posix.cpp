// The system's text: UTF-8, shared by the console and the file system.

#include "engine/platform/platform.h"

namespace mirvane::platform {

// UTF-8 has no double-byte characters whose trail byte could be taken for a
// path separator.
bool isLeadByte(unsigned char) { return false; }

}  // namespace mirvane::platform
