#pragma once
// Which graphical sessions can be reached, asked before the window toolkit
// is: Qt aborts the program when none of the platforms it tries starts.

#include <string>

namespace mirvane {

// The platforms Qt is to try, best first, as QT_QPA_PLATFORM lists them:
// the user's QT_QPA_PLATFORM, or "wayland;xcb", less "wayland" (and its
// kinds) unless the compositor answers and "xcb" unless the X server named
// by DISPLAY accepts a connection, and less either where Qt has no plugin
// for it. Empty when none is left.
std::string UsablePlatforms();

// Whether a Wayland compositor answers a round trip on the socket named by
// WAYLAND_DISPLAY within a second. A socket left behind, or one whose
// listener never speaks Wayland, does not.
bool WaylandCompositorAnswers();

}  // namespace mirvane
