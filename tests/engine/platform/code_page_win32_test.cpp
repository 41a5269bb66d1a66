// What depends on the user's locale and the system's code pages on Windows.
// CTest runs this under three locales (Wine takes them from LC_ALL): en-US
// (ANSI 1252, OEM 437), de-DE (ANSI 1252, OEM 850) and ja-JP (932 for both).
// Each test checks the rows of the code page or locale it finds.

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "engine/jobs/job_command.h"
#include "engine/jobs/paths.h"
#include "engine/platform/files.h"
#include "engine/platform/text.h"
#include "engine/settings/presets.h"
#include "support/temp_dir.h"

namespace mirvane {
namespace {

// The engine's text is UTF-8 whatever the ANSI code page: no byte begins a
// double-byte character of it, also on a Japanese system.
TEST(LeadBytes, NoByteOfTheEnginesTextIsALeadByteInAnyCodePage) {
    for (int byte = 0; byte < 256; ++byte)
        EXPECT_FALSE(platform::isLeadByte(static_cast<unsigned char>(byte)))
            << byte << " in code page " << GetACP();
    // "あ" ends in 0x82, a Shift-JIS lead byte that would hide the dot.
    EXPECT_EQ(ExtractExtension("C:\\映像\\あ.avi", PathStyle::Windows), ".avi");
    EXPECT_EQ(ChangeExtension("C:\\Mü\\café.avi", ".mp4", PathStyle::Windows), "C:\\Mü\\café.mp4");
    EXPECT_EQ(ExtractFolder("C:\\ソフト\\Mirvane.exe", PathStyle::Windows), "C:\\ソフト\\");
}

bool systemAnsiLeadByte(unsigned char byte) { return IsDBCSLeadByteEx(CP_ACP, byte) != FALSE; }

// Text in the ANSI code page, stepped with the system's own answer: on a
// Western code page "é" (E9) and "ü" (FC) are whole characters, which a
// fixed Shift-JIS table took for lead bytes; on the Japanese code page the
// trail byte 0x5C of "ソ" is no separator.
TEST(LeadBytes, AnsiTextFollowsTheSystemsAnswerForItsCodePage) {
    if (GetACP() == 1252) {
        EXPECT_EQ(ChangeExtension("C:\\Video\\caf\xE9.avi", ".mp4", PathStyle::Windows, systemAnsiLeadByte),
                  "C:\\Video\\caf\xE9.mp4");
        EXPECT_EQ(ExtractFolder("C:\\Programme\\M\xFC\\Mirvane.exe", PathStyle::Windows, systemAnsiLeadByte),
                  "C:\\Programme\\M\xFC\\");
    } else if (GetACP() == 932) {
        EXPECT_EQ(ExtractFolder("C:\\\x83\x5C\x83\x74\x83\x67\\Mirvane.exe", PathStyle::Windows,
                                systemAnsiLeadByte),
                  "C:\\\x83\x5C\x83\x74\x83\x67\\");
        EXPECT_EQ(ExtractExtension("C:\\my.\x83\x5C", PathStyle::Windows, systemAnsiLeadByte), ".\x83\x5C");
    } else {
        GTEST_SKIP() << "no rows for code page " << GetACP();
    }
}

// A settings file written for the ANSI functions (no mark, not UTF-8) reads
// in the ANSI code page, from a folder whose name is outside it.
TEST(SettingsFile, AnAnsiFileReadsInTheAnsiCodePage) {
    std::string title;
    std::string expected;
    if (GetACP() == 932) {
        title = "\x93\xAE\x89\xE6 \x83\x5C\x83\x74\x83\x67";  // "動画 ソフト" in Shift-JIS
        expected = "動画 ソフト";
    } else if (GetACP() == 1252) {
        title = "Vid\xE9o f\xFCr";  // "Vidéo für" in code page 1252
        expected = "Vidéo für";
    } else {
        GTEST_SKIP() << "no rows for code page " << GetACP();
    }
    TempDir dir;
    const std::string file =
        dir.write("ソフト 🎬\\MovieSet.ini", "[List]\r\nListTitle00=" + title +
                                                "\r\nListOption00=-i %INPFILE %OUTFILE\r\n"
                                                "ListExt00=.mp4\r\n");
    const PresetTable table = LoadPresets(file);
    ASSERT_EQ(table.presets.size(), 1u);
    EXPECT_EQ(table.presets[0].title, expected);
}

// AviSynth reads its script in the ANSI code page: a path that can be written
// there goes as it is, another as its short form where the volume keeps one
// (naming the same file), or not at all.
TEST(AvsScriptPath, IsWrittenInTheJapaneseCodePage) {
    if (GetACP() != 932) GTEST_SKIP() << "for code page 932, not " << GetACP();
    TempDir dir;
    // Both characters of "ソ 表" end in the trail byte 0x5C in Shift-JIS.
    EXPECT_EQ(AvsScriptPath(dir.write("ソ 表", "")), dir.path() + "\\\x83\x5C \x95\x5C");
    EXPECT_EQ(AvsScriptPath(dir.file("한국")), std::nullopt) << "a missing file has no short form";
    const std::string outside = dir.write("한국 🎬", "out");
    const std::optional<std::string> shortForm = AvsScriptPath(outside);
    std::string content;
    if (platform::shortPath(outside) == outside) {
        EXPECT_EQ(shortForm, std::nullopt) << "a volume without short names";
    } else {
        ASSERT_TRUE(shortForm);
        EXPECT_FALSE(platform::readFile(platform::systemCodePageToUtf8(*shortForm), 16, content));
        EXPECT_EQ(content, "out");
    }
}

// A program that writes in the console's code page is converted; UTF-8 (what
// ffmpeg writes) is kept, also when a read cut one of its characters.
TEST(ConsoleText, OnlyTextThatIsNoUtf8IsConverted) {
    struct Row {
        std::string in;
        std::string out;
    };
    std::vector<Row> rows = {
        {"frame=1 映画 🎬\n", "frame=1 映画 🎬\n"},
        {"cut after the first byte: \xE6", "cut after the first byte: \xE6"},
        {"\x98\xA0 the rest of a cut character", "\x98\xA0 the rest of a cut character"},
    };
    const UINT console = GetConsoleOutputCP() ? GetConsoleOutputCP() : GetOEMCP();
    if (console == 932) rows.push_back({"\x83\x5C\x83\x74\x83\x67: \x83G\x83\x89\x81[", "ソフト: エラー"});
    if (console == 437 || console == 850) rows.push_back({"M\x81ller: \x82t\x8A", "Müller: étè"});
    for (Row& row : rows) {
        std::string text = row.in;
        platform::consoleToSystemText(text);
        EXPECT_EQ(text, row.out) << "console code page " << console;
    }
}

}  // namespace
}  // namespace mirvane
