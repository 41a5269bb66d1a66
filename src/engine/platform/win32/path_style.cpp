#include "engine/formats/path_style.h"

namespace mirvane {

const PathStyle kNativePathStyle = PathStyle::Windows;

}  // namespace mirvane
