#include "engine/settings/presets.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "engine/texts/texts.h"
#include "support/temp_dir.h"

namespace mirvane {

bool operator==(const TListData& a, const TListData& b) {
    return a.Title == b.Title && a.Option == b.Option && a.Ext == b.Ext;
}

void PrintTo(const TListData& d, std::ostream* os) {
    *os << "{\"" << d.Title << "\", \"" << d.Option << "\", \"" << d.Ext << "\"}";
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
        std::vector<TListData> presets;
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
        EXPECT_EQ(table.DShowFps, row.fps);
        EXPECT_EQ(table.Presets, row.presets);
    }
}

// Every entry names its index in all three texts, so that one read from the
// wrong keys or with the wrong number format shows.
TEST(LoadPresets, ReadsAHundredOfAHundredAndOne) {
    std::string text = "[List]\n";
    std::vector<TListData> expected;
    for (int i = 0; i <= 100; ++i) {
        const std::string nn = (i < 10 ? "0" : "") + std::to_string(i);
        text += "ListTitle" + nn + "=T" + nn + "\nListOption" + nn + "=O" + nn + "\nListExt" + nn + "=.e" +
                nn + "\n";
        expected.push_back({"T" + nn, "O" + nn, ".e" + nn});
    }
    expected.pop_back();
    TempDir dir;
    EXPECT_EQ(LoadPresets(dir.write("MovieSet.ini", text)).Presets, expected);
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
        for (const TListData& preset : LoadPresets(file).Presets) titles.push_back(preset.Title);
        EXPECT_EQ(titles, row.titles) << row.language;
    }
    texts::useLanguage("ja");
}

TEST(ShippedSettings, HoldsUsablePresets) {
    const PresetTable table = LoadPresets(MIRVANE_SOURCE_DIR "/MovieSet.ini");
    EXPECT_EQ(table.DShowFps, "");
    ASSERT_GE(table.Presets.size(), 5u);
    for (const TListData& preset : table.Presets) {
        SCOPED_TRACE(preset.Title);
        EXPECT_FALSE(preset.Title.empty());
        EXPECT_TRUE(preset.Ext.starts_with(".")) << preset.Ext;
        EXPECT_NE(preset.Option.find("%INPFILE"), std::string::npos);
        EXPECT_NE(preset.Option.find("%OUTFILE"), std::string::npos);
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
    EXPECT_EQ(LoadPresets(settings, 4).Jobs, 3);
    EXPECT_EQ(LoadPresets(settings, 2).Jobs, 2) << "at most the cores";
    EXPECT_EQ(LoadPresets(dir.write("empty.ini", ""), 4).Jobs, 1);
}

}  // namespace
}  // namespace mirvane
