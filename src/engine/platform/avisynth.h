#pragma once
// Whether AviSynth, which reads the scripts of the DirectShow choice for the
// encoder, is there at all.

#include <string>

namespace mirvane::platform {

// True when the AviSynth library loads as the encoder at encoderPath would
// load it: on Windows "AviSynth.dll" from the encoder's own folder or the
// system folder, on Linux "libavisynth.so" by the loader's own search.
bool aviSynthLoads(const std::string& encoderPath);

}  // namespace mirvane::platform
