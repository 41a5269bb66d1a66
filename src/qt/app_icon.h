#pragma once
// The program's icon, drawn in code so that the program needs no image files.

#include <QIcon>

namespace mirvane {

QIcon appIcon();
// The sizes the icon is drawn at, smallest first.
QList<int> appIconSizes();

}  // namespace mirvane
