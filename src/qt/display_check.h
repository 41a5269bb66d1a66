#pragma once
// Whether a graphical session can be reached before the window toolkit is
// asked for one: without it Qt aborts with a message about platform plugins
// that few users understand.

namespace mirvane {

// True when the user chose a platform (QT_QPA_PLATFORM), when the X server
// named by DISPLAY accepts a connection, or when the Wayland compositor's
// socket named by WAYLAND_DISPLAY does.
bool GraphicalSessionAvailable();

}  // namespace mirvane
