#pragma once
// The conversion presets and the DirectShow frame rate, read once from the
// settings file and unchanged afterwards.

#include <string>
#include <vector>

namespace mirvane {

struct TListData {
    std::string Title;
    std::string Option;
    std::string Ext;
};

struct PresetTable {
    std::string DShowFps;
    std::vector<TListData> Presets;  // at most 100, in file order
};

inline constexpr int kMaxPresets = 100;

// Reads the [DirectShow] fps and the [List] entries ListTitleNN, ListOptionNN
// and ListExtNN from NN = 00 up to the first empty title.
PresetTable LoadPresets(const std::string& settingsFile);

}  // namespace mirvane
