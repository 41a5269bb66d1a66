#include "engine/presets.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace mirvane {

bool operator==(const TListData& a, const TListData& b) {
    return a.Title == b.Title && a.Option == b.Option && a.Ext == b.Ext;
}

void PrintTo(const TListData& d, std::ostream* os) {
    *os << "{\"" << d.Title << "\", \"" << d.Option << "\", \"" << d.Ext << "\"}";
}

namespace {

struct PresetCase {
    const char* name;
    std::optional<std::string> content;  // no settings file at all when empty
    std::string fps;
    std::vector<TListData> presets;
};

void PrintTo(const PresetCase& c, std::ostream* os) { *os << c.name; }

// "[List]" with titles T00.. and for each an option and an extension that name
// their index, so that a preset built from the wrong keys shows.
std::string numberedList(int count) {
    std::string text = "[List]\n";
    for (int i = 0; i < count; ++i) {
        const std::string nn = (i < 10 ? "0" : "") + std::to_string(i);
        text += "ListTitle" + nn + "=T" + nn + "\nListOption" + nn + "=O" + nn + "\nListExt" + nn + "=.e" +
                nn + "\n";
    }
    return text;
}

std::vector<TListData> numberedPresets(int count) {
    std::vector<TListData> presets;
    for (int i = 0; i < count; ++i) {
        const std::string nn = (i < 10 ? "0" : "") + std::to_string(i);
        presets.push_back({"T" + nn, "O" + nn, ".e" + nn});
    }
    return presets;
}

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

const std::vector<PresetCase> kPresetCases = {
    {"WorkedExampleStopsAtMissingTitle03",
     kWorkedExample,
     "25",
     {{"Small phone video", "-i %INPFILE -s 320x240 %OUTFILE", ".mp4"},
      {"Sound only", "-i %INPFILE -vn %OUTFILE", ".mp3"},
      {"Plain AVI", "-i %INPFILE %OUTFILE", ".avi"}}},
    {"HundredTitlesPlusOneGiveHundred", numberedList(101), "", numberedPresets(100)},
    {"IndicesFromTenHaveNoLeadingZero", numberedList(12), "", numberedPresets(12)},
    {"EmptyTitleEndsTable",
     "[List]\nListTitle00=a\nListTitle01=b\nListTitle02=\nListTitle03=d\n",
     "",
     {{"a", "", ""}, {"b", "", ""}}},
    {"MissingTitle00GivesEmptyTable", "[DirectShow]\nfps=30\n[List]\nListTitle01=b\n", "30", {}},
    {"TitleWithoutOptionOrExt",
     "[List]\nListTitle00=only a title\nListTitle01=b\nListExt01=.x\n",
     "",
     {{"only a title", "", ""}, {"b", "", ".x"}}},
    {"EmptyOptionAndExtValues", "[List]\nListTitle00=a\nListOption00=\nListExt00=\n", "", {{"a", "", ""}}},
    {"ExtWithoutDotTakenAsWritten", "[List]\nListTitle00=a\nListExt00=mp4\n", "", {{"a", "", "mp4"}}},
    {"IndexNeedsTwoDigits", "[List]\nListTitle0=a\nListTitle1=b\n", "", {}},
    {"SectionAndKeysInOtherCase",
     "[directshow]\nFPS=24\n[list]\nlisttitle00=a\nLISTOPTION00=-i %INPFILE %OUTFILE\nlistext00=.mp4\n",
     "24",
     {{"a", "-i %INPFILE %OUTFILE", ".mp4"}}},
    {"NoDirectShowSection", "[List]\nListTitle00=a\n", "", {{"a", "", ""}}},
    {"EmptyFps", "[DirectShow]\nfps=\n[List]\nListTitle00=a\n", "", {{"a", "", ""}}},
    {"FpsOfOtherSectionIgnored", "[List]\nfps=25\nListTitle00=a\n", "", {{"a", "", ""}}},
    {"LongOptionCutTo2047Bytes",
     "[List]\nListTitle00=a\nListOption00=" + std::string(3000, 'o') + "\nListExt00=.mp4\n",
     "",
     {{"a", std::string(2047, 'o'), ".mp4"}}},
    {"BomCrLfAndComments",
     "\xEF\xBB\xBF; presets\r\n[DirectShow]\r\nfps = 29.97 \r\n\r\n[List]\r\n# first\r\nListTitle00 = "
     "\xE5\x8B\x95\xE7\x94\xBB\r\nListExt00=.mp4\r\n",
     "29.97",
     {{"\xE5\x8B\x95\xE7\x94\xBB", "", ".mp4"}}},
    {"EmptyFile", "", "", {}},
    {"MissingFile", std::nullopt, "", {}},
};

class LoadPresetsTable : public testing::TestWithParam<PresetCase> {};

TEST_P(LoadPresetsTable, ReadsFpsAndPresets) {
    const PresetCase& c = GetParam();
    TempDir dir;
    const std::string path = c.content ? dir.write("MovieSet.ini", *c.content) : dir.file("MovieSet.ini");
    const PresetTable table = LoadPresets(path);
    EXPECT_EQ(table.DShowFps, c.fps);
    EXPECT_EQ(table.Presets, c.presets);
}

INSTANTIATE_TEST_SUITE_P(Presets, LoadPresetsTable, testing::ValuesIn(kPresetCases),
                         [](const auto& info) { return std::string(info.param.name); });

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

}  // namespace
}  // namespace mirvane
