#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/jobs/app_paths.h"
#include "engine/jobs/paths.h"
#include "support/lead_bytes.h"

namespace mirvane {
namespace {

// "ソフト" in code page 932: the 0x5C of "ソ" is a trail byte, not a backslash.
const std::string kSoftware = "\x83\x5c\x83\x74\x83\x67";
const std::string kSo = "\x83\x5c";
constexpr PathStyle W = PathStyle::Windows;
constexpr PathStyle P = PathStyle::Posix;
constexpr LeadByteTest kShiftJis = test::isShiftJisLeadByte;
constexpr LeadByteTest kWestern = test::isSingleByteLeadByte;

TEST(PathRules, SplitFolderAndExtension) {
    struct Row {
        const char* name;
        PathStyle style;
        std::string path;
        std::string folder;
        std::string extension;
        LeadByteTest lead = kShiftJis;
    };
    const Row rows[] = {
        {"plain path", W, "C:\\Video\\clip.avi", "C:\\Video\\", ".avi"},
        {"only the last of two dots", W, "C:\\Video\\clip.tar.gz", "C:\\Video\\", ".gz"},
        {"no dot", W, "C:\\Video\\clip", "C:\\Video\\", ""},
        {"dot only in a folder name", W, "C:\\my.videos\\clip", "C:\\my.videos\\", ""},
        {"name ending in a dot gives a lone dot", W, "C:\\Video\\clip.", "C:\\Video\\", "."},
        {"colon is a separator", W, "C:clip.avi", "C:", ".avi"},
        {"colon after the dot ends the extension", W, "a.b:c", "a.b:", ""},
        {"relative path has no folder", W, "clip.avi", "", ".avi"},
        {"trail byte 0x5C is no separator", W, "C:\\Tools\\" + kSoftware + ".exe", "C:\\Tools\\", ".exe"},
        {"name ending in a trail byte 0x5C", W, "C:\\Tools\\" + kSo, "C:\\Tools\\", ""},
        {"trail byte 0x5C after the dot", W, "C:\\my." + kSo, "C:\\", "." + kSo},
        {"lead bytes are tracked from the left", W, "C:\\\x83\x83\\clip", "C:\\\x83\x83\\", ""},
        {"half-width katakana is a single byte", W, "C:\\\xB1\\clip", "C:\\\xB1\\", ""},
        {"posix dot only in a folder name", P, "/home/my.videos/clip", "/home/my.videos/", ""},
        {"posix ignores backslash and colon", P, "C:\\Video\\clip.avi", "", ".avi"},
        {"posix backslash is an ordinary byte", P, "/a/b.c\\d", "/a/", ".c\\d"},
        {"posix knows no lead bytes", P, "/a\x83/b", "/a\x83/", ""},
        // Code page 1252: "é" (E9) and "ü" (FC) are whole characters.
        {"western e-acute before the dot", W, "C:\\Video\\caf\xE9.avi", "C:\\Video\\", ".avi", kWestern},
        {"western u-umlaut before a separator", W, "C:\\M\xFC\\clip.avi", "C:\\M\xFC\\", ".avi", kWestern},
        // UTF-8, the engine's own text: the platform's answer applies.
        {"utf-8 e-acute before the dot", W, "C:\\Video\\café.avi", "C:\\Video\\", ".avi",
         platform::isLeadByte},
        {"utf-8 u-umlaut before a separator", W, "C:\\Mü\\clip", "C:\\Mü\\", "", platform::isLeadByte},
        {"utf-8 hiragana ending in 0x82 before the dot", W, "C:\\あ.avi", "C:\\", ".avi",
         platform::isLeadByte},
        {"utf-8 hiragana ending in 0x82 before a separator", W, "C:\\あ\\clip.avi", "C:\\あ\\", ".avi",
         platform::isLeadByte},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ExtractFolder(row.path, row.style, row.lead), row.folder);
        EXPECT_EQ(ExtractExtension(row.path, row.style, row.lead), row.extension);
    }
}

TEST(ReplaceAll, ReplacesEveryOccurrenceInOneScan) {
    struct Row {
        const char* name;
        PathStyle style;
        std::string text;
        std::string pattern;
        std::string replacement;
        std::string expected;
    };
    const Row rows[] = {
        {"every occurrence in the same letter case", W, "a.AVI\\b.avi\\c.AVI", ".AVI", ".mp4",
         "a.mp4\\b.avi\\c.mp4"},
        {"occurrences never overlap", P, "aaa", "aa", "b", "ba"},
        {"inserted text is not searched again", P, "ab", "ab", "aab", "aab"},
        {"empty pattern matches nothing", P, "abc", "", "x", "abc"},
        {"no match begins on a trail byte", W, kSo + "\\x", "\\", "/", kSo + "/x"},
        {"a trail byte that looks like a lead byte", W, "\x83\x83\\", "\\", "/", "\x83\x83/"},
        {"a whole double-byte character matches", W, kSo + ".avi", kSo, "X", "X.avi"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ReplaceAll(row.text, row.pattern, row.replacement, row.style, kShiftJis), row.expected);
    }
}

// Also proves ChangeExtension on a name whose 0x5C trail byte must not be
// taken for a separator.
TEST(AppPaths, DerivesEveryFileFromTheExecutable) {
    const std::string tools = "C:\\Tools\\" + kSoftware;
    const AppPaths p = AppPaths::fromExecutable(tools + ".exe", W, kShiftJis);
    EXPECT_EQ((std::vector{p.executable, p.folder, p.settingsFile, p.encoder, p.logFile, p.scriptFile,
                           p.journalFile}),
              (std::vector<std::string>{tools + ".exe", "C:\\Tools\\", "C:\\Tools\\MovieSet.ini",
                                        "C:\\Tools\\ffmpeg\\ffmpeg.exe", tools + ".log", tools + ".avs",
                                        tools + ".jobs"}));
}

// A program folder whose last character's last byte is a Shift-JIS lead byte
// in another code page must keep its folder: the engine's text is UTF-8.
TEST(AppPaths, KeepTheFolderOfAProgramInAFolderNamedInUtf8) {
    const std::string folder = "C:\\Programme\\Müあ\\";
    const AppPaths p = AppPaths::fromExecutable(folder + "Mirvane.exe", W);
    EXPECT_EQ(p.settingsFile, folder + "MovieSet.ini");
    EXPECT_EQ(p.encoder, folder + "ffmpeg\\ffmpeg.exe");
    EXPECT_EQ(p.logFile, folder + "Mirvane.log");
}

}  // namespace
}  // namespace mirvane
