#include "engine/settings/presets.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "engine/texts/texts.h"
#include "support/temp_dir.h"

namespace mirvane {

bool operator==(const Preset& a, const Preset& b) {
    return a.title == b.title && a.options == b.options && a.extension == b.extension;
}

void PrintTo(const Preset& d, std::ostream* os) {
    *os << "{\"" << d.title << "\", \"" << d.options << "\", \"" << d.extension << "\"}";
}

namespace {

const std::string kWorkedExample = R"([DirectShow]
fps=25

[List]
ListTitle00=Small phone video
ListOption00=-i %INPFILE -s 320x240 %OUTFILE
ListExt00=.mp4
ListTitle01=Sound only
ListOption01=-i %INPFILE -vn %OUTFILE
ListExt01=.mp3
ListTitle02=Plain AVI
ListOption02=-i %INPFILE %OUTFILE
ListExt02=.avi
ListTitle04=Never loaded
ListOption04=-i %INPFILE %OUTFILE
ListExt04=.mkv
)";

TEST(LoadPresets, ReadsFpsAndPresets) {
    struct Row {
        const char* name;
        std::string content;
        std::string fps;
        std::vector<Preset> presets;
    };
    const Row rows[] = {
        {"worked example stops at the missing title 03",
         kWorkedExample,
         "25",
         {{"Small phone video", "-i %INPFILE -s 320x240 %OUTFILE", ".mp4"},
          {"Sound only", "-i %INPFILE -vn %OUTFILE", ".mp3"},
          {"Plain AVI", "-i %INPFILE %OUTFILE", ".avi"}}},
        {"empty title ends it, absent option and extension read empty",
         "[List]\nListTitle00=a\nListTitle01=\nListTitle02=c\n",
         "",
         {{"a", "", ""}}},
        {"another letter case",
         "[directshow]\nFPS=24\n[list]\nlisttitle00=a\nLISTEXT00=.x\n",
         "24",
         {{"a", "", ".x"}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        const PresetTable table = LoadPresets(dir.write("MovieSet.ini", row.content));
        EXPECT_EQ(table.directShowFps, row.fps);
        EXPECT_EQ(table.presets, row.presets);
    }
}

// Every entry names its index in all three texts, so that one read from the
// wrong keys or with the wrong number format shows.
TEST(LoadPresets, ReadsAHundredOfAHundredAndOne) {
    std::string text = "[List]\n";
    std::vector<Preset> expected;
    for (int i = 0; i <= 100; ++i) {
        const std::string nn = (i < 10 ? "0" : "") + std::to_string(i);
        text += "ListTitle" + nn + "=T" + nn + "\nListOption" + nn + "=O" + nn + "\nListExt" + nn + "=.e" +
                nn + "\n";
        expected.push_back({"T" + nn, "O" + nn, ".e" + nn});
    }
    expected.pop_back();
    TempDir dir;
    EXPECT_EQ(LoadPresets(dir.write("MovieSet.ini", text)).presets, expected);
}

// A title's translation shows in its language only; the plain titles alone
// decide where the list ends, so every language lists the same presets.
TEST(LoadPresets, ReadsTheTitleInTheUsersLanguage) {
    const std::string text =
        "[List]\nListTitle00=標準\nListTitle00[en]=Standard\n"
        "ListTitle01=音声\nListTitle02=\nListTitle02[en]=Past the end\n";
    const struct {
        const char* language;
        std::vector<std::string> titles;
    } rows[] = {
        {"ja", {"標準", "音声"}},
        {"en", {"Standard", "音声"}},
        {"de_DE", {"Standard", "音声"}},  // no German catalogue: English
    };
    TempDir dir;
    const std::string file = dir.write("MovieSet.ini", text);
    for (const auto& row : rows) {
        texts::useLanguage(row.language);
        std::vector<std::string> titles;
        for (const Preset& preset : LoadPresets(file).presets) titles.push_back(preset.title);
        EXPECT_EQ(titles, row.titles) << row.language;
    }
    texts::useLanguage("ja");
}

TEST(ShippedSettings, HoldsUsablePresets) {
    const PresetTable table = LoadPresets(MIRVANE_SOURCE_DIR "/MovieSet.ini");
    EXPECT_EQ(table.directShowFps, "");
    ASSERT_GE(table.presets.size(), 5u);
    for (const Preset& preset : table.presets) {
        SCOPED_TRACE(preset.title);
        EXPECT_FALSE(preset.title.empty());
        EXPECT_TRUE(preset.extension.starts_with(".")) << preset.extension;
        EXPECT_NE(preset.options.find("%INPFILE"), std::string::npos);
        EXPECT_NE(preset.options.find("%OUTFILE"), std::string::npos);
    }
}

// The settings' Jobs value as the batch uses it: a mistyped value runs one
// job as before, and no value asks for more jobs than the cores.
TEST(SimultaneousJobs, OneUnlessAWholeNumberAndNeverMoreThanTheCores) {
    for (const char* text : {"", "abc", "2x", "0", "-3", "1.5", "-99999999999999999999"})
        EXPECT_EQ(SimultaneousJobs(text, 8), 1) << text;
    EXPECT_EQ(SimultaneousJobs("3", 8), 3);
    EXPECT_EQ(SimultaneousJobs("9", 8), 8);
    EXPECT_EQ(SimultaneousJobs("3", 0), 1);
    EXPECT_EQ(SimultaneousJobs("99999999999999999999", 4), 4);

    TempDir dir;
    const std::string settings = dir.write("MovieSet.ini", "[option]\njobs = 3\n[List]\nListTitle00=a\n");
    EXPECT_EQ(LoadPresets(settings, 4).simultaneousJobs, 3);
    EXPECT_EQ(LoadPresets(settings, 2).simultaneousJobs, 2) << "at most the cores";
    EXPECT_EQ(LoadPresets(dir.write("empty.ini", ""), 4).simultaneousJobs, 1);
}

}  // namespace
}  // namespace mirvane
