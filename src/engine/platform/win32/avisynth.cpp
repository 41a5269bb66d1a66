// The encoder looks for AviSynth beside itself and in the system folder, and
// so does this: never in the current folder or along PATH, where another
// user could leave a library of that name for this program to run.

#include "engine/platform/avisynth.h"

#include <filesystem>

#include "engine/platform/win32/win32_internal.h"

namespace mirvane::platform {

bool aviSynthLoads(const std::string& encoderPath) {
    const std::filesystem::path besideEncoder =
        std::filesystem::path(win32::toWide(encoderPath)).parent_path() / L"AviSynth.dll";
    HMODULE library = LoadLibraryExW(besideEncoder.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (library == nullptr) library = LoadLibraryExW(L"AviSynth.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (library == nullptr) return false;
    FreeLibrary(library);
    return true;
}

}  // namespace mirvane::platform
