#pragma once
// The paths of a drop from the shell, in the shell's order.

#include <windows.h>

#include <string>
#include <vector>

namespace mirvane::win32 {

// Every path the drop holds, whole, however long. Asking DragQueryFileW for
// each path in turn walks the list from its start every time, which makes a
// drop of ten thousand files take seconds; the drop's DROPFILES block, the
// shell's documented format, is read in one pass instead, checked against
// the count DragQueryFileW gives. Empty names are left out: no file has one,
// and a block without files reads as one empty name on some systems. The
// drop is not released here.
std::vector<std::wstring> DroppedPaths(HDROP drop);

}  // namespace mirvane::win32
