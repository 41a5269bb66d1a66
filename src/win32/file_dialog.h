#pragma once
// The system's dialog for choosing files to add.

#include <windows.h>

#include <string>
#include <vector>

namespace mirvane::win32 {

// Several files at once, file-system paths only, in the dialog's order; none
// when the user cancels or the dialog cannot be shown. Needs COM's
// apartment on the calling thread.
std::vector<std::wstring> AskFilesToAdd(HWND owner);

}  // namespace mirvane::win32
