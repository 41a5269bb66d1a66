#pragma once
// Which files a folder's walk takes: video and audio by their extension.

#include <string_view>

namespace mirvane {

// True when the name ends in a video or audio file's extension, in any ASCII
// case ("clip.MKV"); the name itself is never changed.
bool HasMediaExtension(std::string_view name);

}  // namespace mirvane
