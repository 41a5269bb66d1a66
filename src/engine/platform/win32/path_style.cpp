#include "engine/platform/path_style.h"

namespace mirvane::platform {

const PathStyle kNativePathStyle = PathStyle::Windows;

}  // namespace mirvane::platform
