#pragma once
// A second copy's names, made to name the same files in the running copy,
// which was started in another folder.

#include <string>
#include <string_view>

#include "engine/jobs/paths.h"

namespace mirvane {

// The path as it is when it is absolute; otherwise joined to folder, the
// absolute folder it is relative to. The bytes given are kept as they are:
// nothing is resolved or removed ("..", trailing dots or spaces), so the
// path names what the system would have opened in that folder.
//
// Windows style: "C:\x", "\\server\share\x" and "\\?\x" are absolute; "\x"
// lies on the folder's drive (or share); "D:x" lies in the folder when the
// folder is on D:, else at the root of D:, which is where the system puts it
// for a program that has not been told D:'s folder.
std::string MakeAbsolute(std::string_view path, std::string_view folder, PathStyle style = kNativePathStyle);

}  // namespace mirvane
