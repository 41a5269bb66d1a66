#include "engine/settings/profile_reader.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>

#include "support/process_usage.h"
#include "support/temp_dir.h"

namespace mirvane {
namespace {

using namespace std::string_literals;

// Every file is read from disk within a time bound: malformed ones must
// neither crash nor hang.
TEST(ProfileFile, LooksUpValues) {
    std::mt19937 random(20240601);
    std::string binary(1 << 20, '\0');
    for (char& c : binary) c = static_cast<char>(random());
    struct Row {
        const char* name;
        std::string content;
        std::string section;
        std::string key;
        std::string expected;
    };
    const Row rows[] = {
        {"names in another letter case", "[LIST]\nlisttitle00=a\n", "List", "ListTitle00", "a"},
        {"only ASCII letters fold", "[\xC3\x89t\xC3\xA9]\nk=a\n", "\xC3\xA9t\xC3\xA9", "k", ""},
        {"blanks around names", "[ \tList \t]\n \t k \t=a\n", "List", "k", "a"},
        {"names match exactly, not by prefix", "[List]\nListTitle001=a\n", "List", "ListTitle00", ""},
        {"key in another section", "[a]\nk=1\n[b]\n", "b", "k", ""},
        {"key before any header is not in the first section", "k=1\n[s]\n", "s", "k", ""},
        {"key before any header is in the section without a name", "k=1\n[s]\n", "", "k", "1"},
        {"missing key", "[a]\nk=1\n", "a", "j", ""},
        {"empty value", "[a]\nk=\n", "a", "k", ""},
        {"blanks around the value trimmed", "[s]\nk= \t-i  %INPFILE\t \n", "s", "k", "-i  %INPFILE"},
        {"value byte for byte", "[s]\nk=\"a\" ; # -vf s=2 C:\\n 動画\n", "s", "k",
         "\"a\" ; # -vf s=2 C:\\n 動画"},
        {"semicolon comment", "[s]\n;k=1\n", "s", ";k", ""},
        {"commented header opens nothing", "[s]\n;[t]\nk=1\n", "s", "k", "1"},
        {"first key wins across letter case", "[s]\nK=1\nk=2\n", "s", "k", "1"},
        {"empty first value still wins", "[s]\nk=\nk=2\n", "s", "k", ""},
        {"key in a repeated section loses", "[s]\nk=1\n[t]\n[S]\nk=2\n", "s", "k", "1"},
        {"a key only in a repeated section is never read", "[s]\nk=1\n[t]\n[s]\nj=2\n", "s", "j", ""},
        {"a repeated header right after the first is still a repeat", "[s]\n[S]\nk=2\n", "s", "k", ""},
        {"value in double quotes loses them", "[s]\nk= \"-i x \" \n", "s", "k", "-i x "},
        {"value in single quotes loses them", "[s]\nk='a'\n", "s", "k", "a"},
        {"quotes that do not pair stay", "[s]\nk=\"a'\n", "s", "k", "\"a'"},
        {"a lone quote stays", "[s]\nk=\"\n", "s", "k", "\""},
        {"quotes inside stay", "[s]\nk=-vf \"scale=-2:480\"\n", "s", "k", "-vf \"scale=-2:480\""},
        {"a line without = hides the key's later lines", "[s]\nk\nk=2\n", "s", "k", ""},
        {"a [ line without ] is a key line", "[s]\n[x=2\nk=1\n", "s", "[x", "2"},
        {"a [ line without ] does not end the section", "[s]\n[x\nk=1\n", "s", "k", "1"},
        {"the section name runs to the last ]", "[s]x]\nk=1\n", "s]x", "k", "1"},
        {"vertical tab, form feed and 0x1A are trimmed", "[s]\n\vk\f=\v1\x1A\n", "s", "k", "1"},
        {"a name ends at a NUL", "[s]\nk\0x=1\n"s, "s", "k", "1"},
        {"CR LF, lone CR and LF all end lines", "[s]\r\nk=1\r\n\rj=2\r", "s", "j", "2"},
        {"byte-order mark and CR LF", "\xEF\xBB\xBF[s]\r\nk=1\r\n", "s", "k", "1"},
        {"binary data before a section", binary + "\n[s]\nk=found\n", "s", "k", "found"},
        {"NUL bytes end a value but neither the text nor open a section", "[s]\0\n\0[t]\nk=a\0b"s, "s", "k",
         "a"},
        {"millions of lone CRs", "[s]" + std::string(2'000'000, '\r') + "k=1", "s", "k", "1"},
        {"a line as long as a file may be, no line end at the end",
         "[s]\nk=" + std::string(kMaxProfileFileBytes - 6, 'x'), "s", "k", std::string(2047, 'x')},
        {"a file just over the limit reads as none",
         "[s]\nk=1\n;" + std::string(kMaxProfileFileBytes - 8, 'x'), "s", "k", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        const std::string path = dir.write("a.ini", row.content);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(ProfileFile::load(path).value(row.section, row.key), row.expected);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    }
}

TEST(ProfileFile, CutsValuesTo2047BytesOnACharacterBoundary) {
    struct Row {
        const char* name;
        std::string value;
        std::size_t expectedLength;
    };
    const std::string euro = "\xE2\x82\xAC";
    const Row rows[] = {
        {"maximum length kept", std::string(2047, 'a'), 2047},
        {"one byte too long", std::string(2048, 'a'), 2047},
        {"three-byte character ending at the limit", std::string(2044, 'a') + euro + "b", 2047},
        {"three-byte character over by one", std::string(2045, 'a') + euro, 2045},
        {"three-byte character over by two", std::string(2046, 'a') + euro, 2046},
        {"three-byte character starting at the limit", std::string(2047, 'a') + euro, 2047},
        {"four-byte character over by one", std::string(2044, 'a') + "\xF0\x9F\x8E\xAC", 2044},
        {"two-byte character over by one", std::string(2046, 'a') + "\xC3\xA9", 2046},
        {"whole character before stray bytes", std::string(2045, 'a') + "\xC3\xA9\x80\x80", 2047},
        {"invalid lead byte does not move the cut", std::string(2045, 'a') + "\xFF\x80\x80", 2047},
        {"stray continuation bytes not backed over", std::string(2040, 'a') + std::string(20, '\x80'), 2047},
        {"trailing blanks trimmed before the cut", std::string(2047, 'a') + "   ", 2047},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const ProfileFile profile = ProfileFile::parse("[s]\nk=" + row.value + "\nnext=1\n");
        EXPECT_EQ(profile.value("s", "k"), row.value.substr(0, row.expectedLength));
        EXPECT_EQ(profile.value("s", "next"), "1");
    }
}

// Settings files saved by Windows editors: UTF-8 with or without a mark, and
// UTF-16 with its mark ("Unicode" in Notepad), which Windows reads too.
TEST(DecodeSettingsText, ByteOrderMarksAndValidUtf8DecideTheEncoding) {
    const std::string utf8 = "[List]\nListTitle00=動画 🎬\n";
    std::string utf16le = "\xFF\xFE", utf16be = "\xFE\xFF";
    for (const char16_t unit : std::u16string(u"[List]\nListTitle00=動画 🎬\n")) {
        utf16le += static_cast<char>(unit & 0xFF);
        utf16le += static_cast<char>(unit >> 8);
        utf16be += static_cast<char>(unit >> 8);
        utf16be += static_cast<char>(unit & 0xFF);
    }
    const struct {
        const char* name;
        std::string bytes;
    } rows[] = {
        {"UTF-8", utf8},
        {"UTF-8 with its mark", "\xEF\xBB\xBF" + utf8},
        {"UTF-16 little-endian with its mark", utf16le},
        {"UTF-16 big-endian with its mark", utf16be},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(DecodeSettingsText(row.bytes), utf8);
        TempDir dir;
        EXPECT_EQ(ProfileFile::load(dir.write("MovieSet.ini", row.bytes)).value("List", "ListTitle00"),
                  "動画 🎬");
    }
    // A lone surrogate cannot become UTF-8; an odd last byte is no character.
    EXPECT_EQ(DecodeSettingsText(std::string("\xFF\xFE\x00\xD8\x41\x00\x42", 7)),
              "\xEF\xBF\xBD"
              "A");
}

TEST(ProfileFile, MissingFileOrDirectoryReadsEmpty) {
    TempDir dir;
    EXPECT_EQ(ProfileFile::load(dir.file("absent.ini")).value("s", "k"), "");
    EXPECT_EQ(ProfileFile::load(dir.path()).value("s", "k"), "");
}

// A file far larger than any settings file is refused before it is read: its
// size in memory would be the price of reading it.
TEST(ProfileFile, AHugeFileReadsEmptyWithoutCostingItsSize) {
    TempDir dir;
    const std::string path = dir.write("huge.ini", "[s]\nk=1\n");
    std::filesystem::resize_file(path, 3ULL << 30);  // 3 GiB, the rest a hole on disk
    const long long peakBefore = test::peakMemoryKilobytes();
    EXPECT_EQ(ProfileFile::load(path).value("s", "k"), "");
    EXPECT_LT(test::peakMemoryKilobytes() - peakBefore, 64 * 1024) << "kilobytes of peak memory grew";
}

}  // namespace
}  // namespace mirvane
