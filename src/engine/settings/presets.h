#pragma once
// The conversion presets, the DirectShow frame rate and the number of
// simultaneous jobs, read once from the settings file and unchanged afterwards.

#include <string>
#include <vector>

#include "engine/settings/simultaneous_jobs.h"

namespace mirvane {

// One entry of the preset list: what the user picks, the encoder's options
// (with %INPFILE and %OUTFILE) and the output's extension, dot included.
struct Preset {
    std::string title;
    std::string options;
    std::string extension;
};

struct PresetTable {
    // The frame rate a DirectShow job's AviSynth script asks for; empty: the source's own.
    std::string directShowFps;
    // How many rows a batch converts at once (SimultaneousJobs).
    int simultaneousJobs = 1;
    std::vector<Preset> presets;  // at most 100, in file order
};

inline constexpr int kMaxPresets = 100;

// Reads the [DirectShow] fps, the [Option] Jobs (kept to cores) and the
// [List] entries ListTitleNN, ListOptionNN and ListExtNN from NN = 00 up to
// the first empty title. A title has its translation in the user's language
// (texts::language()) beside it as ListTitleNN[en], ListTitleNN[de], ...
PresetTable LoadPresets(const std::string& settingsFile, unsigned cores = ProcessorCores());

}  // namespace mirvane
