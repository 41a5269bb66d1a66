#pragma once
// The program's icon, drawn in code so that the program needs no image files.

#include <QIcon>

namespace mirvane {

QIcon appIcon();

}  // namespace mirvane
