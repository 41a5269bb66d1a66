#include "engine/settings/presets.h"

#include <cstdio>

#include "engine/settings/profile_reader.h"
#include "engine/texts/texts.h"

namespace mirvane {

namespace {

// A preset's title in the user's language, "ListTitleNN[en]", where the file
// has one; else its plain title, which alone decides where the list ends.
std::string titleInUserLanguage(const ProfileFile& profile, const std::string& key) {
    std::string title = profile.value("List", key);
    if (title.empty()) return title;
    std::string translated = profile.value("List", key + "[" + std::string(texts::language()) + "]");
    return translated.empty() ? title : translated;
}

}  // namespace

PresetTable LoadPresets(const std::string& settingsFile, unsigned cores) {
    const ProfileFile profile = ProfileFile::load(settingsFile);
    PresetTable table;
    table.directShowFps = profile.value("DirectShow", "fps");
    table.simultaneousJobs = SimultaneousJobs(profile.value("Option", "Jobs"), cores);
    for (int i = 0; i < kMaxPresets; ++i) {
        char nn[16];
        std::snprintf(nn, sizeof nn, "%.2d", i);
        std::string title = titleInUserLanguage(profile, std::string("ListTitle") + nn);
        // The first empty title ends the table even when later numbers exist.
        if (title.empty()) break;
        table.presets.push_back({std::move(title), profile.value("List", std::string("ListOption") + nn),
                                 profile.value("List", std::string("ListExt") + nn)});
    }
    return table;
}

}  // namespace mirvane
