#include "engine/platform/path_style.h"

namespace mirvane::platform {

const PathStyle kNativePathStyle = PathStyle::Posix;

}  // namespace mirvane::platform
