#include "engine/formats/path_style.h"

namespace mirvane {

const PathStyle kNativePathStyle = PathStyle::Posix;

}  // namespace mirvane
