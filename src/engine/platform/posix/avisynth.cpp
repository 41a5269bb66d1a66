// The encoder opens AviSynth by the loader's own search, as this does.

#include "engine/platform/avisynth.h"

#include <dlfcn.h>

namespace mirvane::platform {

bool aviSynthLoads(const std::string&) {
    void* library = ::dlopen("libavisynth.so", RTLD_LAZY | RTLD_LOCAL);
    if (library == nullptr) return false;
    ::dlclose(library);
    return true;
}

}  // namespace mirvane::platform
