#pragma once
// The batch's progress and the files left on the program's entry in the
// task manager or the dock: the launcher entry signal, which KDE Plasma and
// GNOME's dock extensions show, sent on the session bus for the desktop
// entry the program was started as.

#include "engine/desktop/desktop_services.h"

namespace mirvane {

void sendLauncherProgress(const TaskbarProgress& progress);

}  // namespace mirvane
