#pragma once
// The conversion presets, the DirectShow frame rate and the number of
// simultaneous jobs, read once from the settings file and unchanged afterwards.

#include <string>
#include <vector>

#include "engine/settings/simultaneous_jobs.h"

namespace mirvane {

struct TListData {
    std::string Title;
    std::string Option;
    std::string Ext;
};

struct PresetTable {
    std::string DShowFps;
    // How many rows a batch converts at once (SimultaneousJobs).
    int Jobs = 1;
    std::vector<TListData> Presets;  // at most 100, in file order
};

inline constexpr int kMaxPresets = 100;

// Reads the [DirectShow] fps, the [Option] Jobs (kept to cores) and the
// [List] entries ListTitleNN, ListOptionNN and ListExtNN from NN = 00 up to
// the first empty title. A title has its translation in the user's language
// (texts::language()) beside it as ListTitleNN[en], ListTitleNN[de], ...
PresetTable LoadPresets(const std::string& settingsFile, unsigned cores = ProcessorCores());

}  // namespace mirvane
