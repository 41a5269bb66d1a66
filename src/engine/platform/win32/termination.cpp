// Windows sends a program with a window no signal to end: the session's end
// comes to the window as WM_QUERYENDSESSION and WM_ENDSESSION, which the
// window hands to the engine itself.

#include "engine/platform/termination.h"

namespace mirvane::platform {

int catchTerminationRequests() { return -1; }

bool takeTerminationRequests() { return false; }

}  // namespace mirvane::platform
