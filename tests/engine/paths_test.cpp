#include <gtest/gtest.h>

#include <string>

#include "engine/app_paths.h"
#include "engine/paths.h"

namespace mirvane {
namespace {

// "ソフト" in code page 932: the 0x5C of "ソ" is a trail byte, not a backslash.
const std::string kSoftware = "\x83\x5c\x83\x74\x83\x67";
const std::string kSo = "\x83\x5c";

struct PathRow {
    const char* name;
    PathStyle style;
    std::string path;
    std::string expected;
};

TEST(ExtractFolder, KeepsThePathUpToItsLastSeparator) {
    const PathRow rows[] = {
        {"backslash ends the folder", PathStyle::Windows, "C:\\Video\\clip.avi", "C:\\Video\\"},
        {"colon counts as a separator", PathStyle::Windows, "C:clip.avi", "C:"},
        {"no separator gives the empty text", PathStyle::Windows, "clip.avi", ""},
        {"trail byte 0x5C is no separator", PathStyle::Windows, "C:\\Tools\\" + kSoftware + ".exe",
         "C:\\Tools\\"},
        {"name ending in a trail byte 0x5C", PathStyle::Windows, "C:\\Tools\\" + kSo, "C:\\Tools\\"},
        {"lead bytes are tracked from the left", PathStyle::Windows, "C:\\\x83\x83\\clip", "C:\\\x83\x83\\"},
        {"half-width katakana is a single byte", PathStyle::Windows, "C:\\\xB1\\clip", "C:\\\xB1\\"},
        {"posix slash ends the folder", PathStyle::Posix, "/home/u/clip.avi", "/home/u/"},
        {"posix ignores backslash and colon", PathStyle::Posix, "C:\\Video\\clip.avi", ""},
        {"posix root", PathStyle::Posix, "/", "/"},
        {"posix UTF-8 folder", PathStyle::Posix, "/home/ビデオ/a.avi", "/home/ビデオ/"},
        {"posix knows no lead bytes", PathStyle::Posix, "/a\x83/b", "/a\x83/"},
    };
    for (const PathRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ExtractFolder(row.path, row.style), row.expected);
    }
}

TEST(ExtractExtension, TakesTheTextFromTheLastDotAfterTheLastSeparator) {
    const PathRow rows[] = {
        {"plain extension", PathStyle::Windows, "C:\\Video\\clip.avi", ".avi"},
        {"only the last of two dots", PathStyle::Windows, "C:\\Video\\clip.tar.gz", ".gz"},
        {"no dot", PathStyle::Windows, "C:\\Video\\clip", ""},
        {"dot only in a folder name", PathStyle::Windows, "C:\\my.videos\\clip", ""},
        {"name ending in a dot gives a lone dot", PathStyle::Windows, "C:\\Video\\clip.", "."},
        {"colon after the dot ends it", PathStyle::Windows, "a.b:c", ""},
        {"trail byte 0x5C after the dot is no separator", PathStyle::Windows, "C:\\my." + kSo, "." + kSo},
        {"executable with a trail byte 0x5C", PathStyle::Windows, "C:\\Tools\\" + kSoftware + ".exe", ".exe"},
        {"posix extension", PathStyle::Posix, "/home/u/clip.avi", ".avi"},
        {"posix dot only in a folder name", PathStyle::Posix, "/home/my.videos/clip", ""},
        {"posix backslash is an ordinary byte", PathStyle::Posix, "/a/b.c\\d", ".c\\d"},
    };
    for (const PathRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ExtractExtension(row.path, row.style), row.expected);
    }
}

TEST(ChangeExtension, ReplacesOnlyTheFinalExtension) {
    struct Row {
        const char* name;
        PathStyle style;
        std::string path;
        std::string extension;
        std::string expected;
    };
    const Row rows[] = {
        {"replaces the extension", PathStyle::Windows, "C:\\Video\\clip.avi", ".mp4", "C:\\Video\\clip.mp4"},
        {"appends when there is none", PathStyle::Windows, "C:\\Video\\clip", ".mp4", "C:\\Video\\clip.mp4"},
        {"leaves a dotted folder alone", PathStyle::Windows, "C:\\Backup.avi\\clip.avi", ".mp4",
         "C:\\Backup.avi\\clip.mp4"},
        {"replaces a lone dot", PathStyle::Windows, "C:\\my.videos\\clip.", ".mp4",
         "C:\\my.videos\\clip.mp4"},
        {"empty new extension removes it", PathStyle::Windows, "C:\\Video\\clip.avi", "", "C:\\Video\\clip"},
        {"keeps a double-byte name whole", PathStyle::Windows, "C:\\Tools\\" + kSoftware + ".exe", ".avs",
         "C:\\Tools\\" + kSoftware + ".avs"},
        {"posix replaces the last extension", PathStyle::Posix, "/home/u/clip.tar.gz", ".mp4",
         "/home/u/clip.tar.mp4"},
        {"posix name without extension", PathStyle::Posix, "/opt/mirvane.d/Mirvane", ".log",
         "/opt/mirvane.d/Mirvane.log"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ChangeExtension(row.path, row.extension, row.style), row.expected);
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
        {"every occurrence", PathStyle::Windows, "a.avi\\b.avi", ".avi", ".mp4", "a.mp4\\b.mp4"},
        {"letter case matters", PathStyle::Windows, "C:\\old.avi\\CLIP.AVI", ".AVI", ".mp4",
         "C:\\old.avi\\CLIP.mp4"},
        {"occurrences never overlap", PathStyle::Posix, "aaa", "aa", "b", "ba"},
        {"inserted text is not searched again", PathStyle::Posix, "ab", "ab", "aab", "aab"},
        {"a match formed by a removal is not taken", PathStyle::Posix, "aabb", "ab", "", "ab"},
        {"empty pattern matches nothing", PathStyle::Posix, "abc", "", "x", "abc"},
        {"no match leaves the text", PathStyle::Windows, "C:\\Video\\clip", ".avi", ".mp4",
         "C:\\Video\\clip"},
        {"no match begins on a trail byte", PathStyle::Windows, kSo + "\\x", "\\", "/", kSo + "/x"},
        {"posix knows no trail bytes", PathStyle::Posix, kSo + "\\x", "\\", "/", "\x83//x"},
        {"a trail byte that looks like a lead byte", PathStyle::Windows, "\x83\x83\\", "\\", "/",
         "\x83\x83/"},
        {"a whole double-byte character matches", PathStyle::Windows, kSo + ".avi", kSo, "X", "X.avi"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ReplaceAll(row.text, row.pattern, row.replacement, row.style), row.expected);
    }
}

TEST(AppPaths, DerivesEveryFileFromTheExecutable) {
    struct Row {
        const char* name;
        PathStyle style;
        std::string executable;
        AppPaths expected;
    };
    const Row rows[] = {
        {"windows folder",
         PathStyle::Windows,
         "C:\\Tools\\Mirvane\\Mirvane.exe",
         {"C:\\Tools\\Mirvane\\Mirvane.exe", "C:\\Tools\\Mirvane\\", "C:\\Tools\\Mirvane\\MovieSet.ini",
          "C:\\Tools\\Mirvane\\ffmpeg\\ffmpeg.exe", "C:\\Tools\\Mirvane\\Mirvane.log",
          "C:\\Tools\\Mirvane\\Mirvane.avs"}},
        {"trail byte 0x5C in the executable's name",
         PathStyle::Windows,
         "C:\\Tools\\" + kSoftware + ".exe",
         {"C:\\Tools\\" + kSoftware + ".exe", "C:\\Tools\\", "C:\\Tools\\MovieSet.ini",
          "C:\\Tools\\ffmpeg\\ffmpeg.exe", "C:\\Tools\\" + kSoftware + ".log",
          "C:\\Tools\\" + kSoftware + ".avs"}},
        {"posix folder with a blank",
         PathStyle::Posix,
         "/opt/My Apps/Mirvane",
         {"/opt/My Apps/Mirvane", "/opt/My Apps/", "/opt/My Apps/MovieSet.ini", "/opt/My Apps/ffmpeg/ffmpeg",
          "/opt/My Apps/Mirvane.log", "/opt/My Apps/Mirvane.avs"}},
        {"posix dot in the folder only",
         PathStyle::Posix,
         "/opt/mirvane.d/Mirvane",
         {"/opt/mirvane.d/Mirvane", "/opt/mirvane.d/", "/opt/mirvane.d/MovieSet.ini",
          "/opt/mirvane.d/ffmpeg/ffmpeg", "/opt/mirvane.d/Mirvane.log", "/opt/mirvane.d/Mirvane.avs"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const AppPaths paths = AppPaths::fromExecutable(row.executable, row.style);
        EXPECT_EQ(paths.executable, row.expected.executable);
        EXPECT_EQ(paths.folder, row.expected.folder);
        EXPECT_EQ(paths.settingsFile, row.expected.settingsFile);
        EXPECT_EQ(paths.encoder, row.expected.encoder);
        EXPECT_EQ(paths.logFile, row.expected.logFile);
        EXPECT_EQ(paths.scriptFile, row.expected.scriptFile);
    }
}

}  // namespace
}  // namespace mirvane
