#include "engine/profile_reader.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace mirvane {
namespace {

using namespace std::string_literals;

struct LookupCase {
    const char* name;
    std::string content;
    std::string section;
    std::string key;
    std::string expected;
};

void PrintTo(const LookupCase& c, std::ostream* os) { *os << c.name; }

class ProfileLookup : public testing::TestWithParam<LookupCase> {};

TEST_P(ProfileLookup, ReadsTheExpectedValue) {
    const LookupCase& c = GetParam();
    EXPECT_EQ(ProfileFile::parse(c.content).value(c.section, c.key), c.expected);
}

const std::vector<LookupCase> kNameRules = {
    {"SectionAndKeyInOtherCase", "[list]\nlisttitle00=a\n", "List", "ListTitle00", "a"},
    {"FileInUpperCaseQueryInLower", "[LIST]\nLISTTITLE00=a\n", "list", "listtitle00", "a"},
    {"OnlyAsciiLettersFold", "[\xC3\x89t\xC3\xA9]\nk=a\n", "\xC3\xA9t\xC3\xA9", "k", ""},
    {"BlanksAroundSectionName", "[ \tList \t]\nk=a\n", "List", "k", "a"},
    {"BlanksAroundKeyName", "[s]\n \t k \t=a\n", "s", "k", "a"},
    {"BlanksInsideNamesKept", "[my list]\nmy key=a\n", "my list", "my key", "a"},
    {"TextAfterClosingBracketIgnored", "[s] trailing\nk=a\n", "s", "k", "a"},
    {"HeaderWithoutClosingBracket", "[s\nk=a\n", "s", "k", "a"},
    {"KeyInOtherSectionNotFound", "[a]\nk=1\n[b]\n", "b", "k", ""},
    {"KeyBeforeAnyHeaderBelongsNowhere", "k=1\n[s]\n", "s", "k", ""},
    {"KeyBeforeAnyHeaderNotUnderEmptyName", "k=1\n", "", "k", ""},
    {"EmptyKeyNameIgnored", "[s]\n=1\n", "s", "", ""},
    {"SectionAndKeyMatchExactlyNotByPrefix", "[List]\nListTitle001=a\n", "List", "ListTitle00", ""},
};
INSTANTIATE_TEST_SUITE_P(NameRules, ProfileLookup, testing::ValuesIn(kNameRules),
                         [](const auto& info) { return std::string(info.param.name); });

const std::vector<LookupCase> kMissingRules = {
    {"MissingSection", "[a]\nk=1\n", "b", "k", ""},
    {"MissingKey", "[a]\nk=1\n", "a", "j", ""},
    {"EmptyValue", "[a]\nk=\n", "a", "k", ""},
    {"BlankValue", "[a]\nk= \t \n", "a", "k", ""},
    {"EmptyFile", "", "a", "k", ""},
    {"LineWithoutEqualsIgnored", "[a]\nk\nk2 1\n", "a", "k", ""},
};
INSTANTIATE_TEST_SUITE_P(MissingReadsEmpty, ProfileLookup, testing::ValuesIn(kMissingRules),
                         [](const auto& info) { return std::string(info.param.name); });

const std::vector<LookupCase> kValueRules = {
    {"BlanksAroundValueTrimmed", "[s]\nk= \t-i %INPFILE \t\n", "s", "k", "-i %INPFILE"},
    {"BlanksInsideValueKept", "[s]\nk=a  b\tc\n", "s", "k", "a  b\tc"},
    {"QuotesKept", "[s]\nk=\"a b\"\n", "s", "k", "\"a b\""},
    {"SemicolonAndHashInValueKept", "[s]\nk=a ; b # c\n", "s", "k", "a ; b # c"},
    {"EqualsInValueKept", "[s]\nk=-vf scale=-2:720\n", "s", "k", "-vf scale=-2:720"},
    {"BackslashesKept", "[s]\nk=C:\\a\\n\n", "s", "k", "C:\\a\\n"},
    {"Utf8Kept", "[s]\nk=\xE5\x8B\x95\xE7\x94\xBB\n", "s", "k", "\xE5\x8B\x95\xE7\x94\xBB"},
    {"NulBytesInValueKept", "[s]\nk=a\0b\n"s, "s", "k", "a\0b"s},
};
INSTANTIATE_TEST_SUITE_P(ValuesByteForByte, ProfileLookup, testing::ValuesIn(kValueRules),
                         [](const auto& info) { return std::string(info.param.name); });

const std::vector<LookupCase> kCommentRules = {
    {"SemicolonLine", "[s]\n;k=1\n", "s", ";k", ""},
    {"HashLine", "[s]\n#k=1\n", "s", "#k", ""},
    {"CommentAfterLeadingBlanks", "[s]\n \t; k=1\nk=2\n", "s", "k", "2"},
    {"CommentedHeaderDoesNotOpenSection", "[s]\n;[t]\nk=1\n", "s", "k", "1"},
};
INSTANTIATE_TEST_SUITE_P(Comments, ProfileLookup, testing::ValuesIn(kCommentRules),
                         [](const auto& info) { return std::string(info.param.name); });

const std::vector<LookupCase> kRepeatRules = {
    {"FirstKeyWins", "[s]\nk=1\nk=2\n", "s", "k", "1"},
    {"FirstKeyWinsAcrossLetterCase", "[s]\nK=1\nk=2\n", "s", "k", "1"},
    {"EmptyFirstValueStillWins", "[s]\nk=\nk=2\n", "s", "k", ""},
    {"KeyInRepeatedSectionLoses", "[s]\nk=1\n[t]\n[S]\nk=2\n", "s", "k", "1"},
    {"NewKeyInRepeatedSectionCounts", "[s]\nk=1\n[t]\n[s]\nj=2\n", "s", "j", "2"},
};
INSTANTIATE_TEST_SUITE_P(FirstOccurrenceWins, ProfileLookup, testing::ValuesIn(kRepeatRules),
                         [](const auto& info) { return std::string(info.param.name); });

const std::vector<LookupCase> kLineEndRules = {
    {"CrLf", "[s]\r\nk=1\r\nj=2\r\n", "s", "k", "1"},
    {"LoneCr", "[s]\rk=1\rj=2\r", "s", "j", "2"},
    {"MixedLineEnds", "[s]\nk=1\r\n\rj=2\r", "s", "j", "2"},
    {"NoLineEndAtEnd", "[s]\nk=1", "s", "k", "1"},
    {"BomAndCrLf", "\xEF\xBB\xBF[s]\r\nk=1\r\n", "s", "k", "1"},
    {"BomOnlySkippedAtStart", "[s]\n\xEF\xBB\xBFk=1\n", "s", "k", ""},
};
INSTANTIATE_TEST_SUITE_P(LineEnds, ProfileLookup, testing::ValuesIn(kLineEndRules),
                         [](const auto& info) { return std::string(info.param.name); });

struct CutCase {
    const char* name;
    std::string value;
    std::size_t expectedLength;
};

void PrintTo(const CutCase& c, std::ostream* os) { *os << c.name; }

class ProfileCut : public testing::TestWithParam<CutCase> {};

TEST_P(ProfileCut, KeepsTheExpectedPrefix) {
    const CutCase& c = GetParam();
    const ProfileFile profile = ProfileFile::parse("[s]\nk=" + c.value + "\nnext=1\n");
    EXPECT_EQ(profile.value("s", "k"), c.value.substr(0, c.expectedLength));
    EXPECT_EQ(profile.value("s", "next"), "1");
}

const std::string kEuro = "\xE2\x82\xAC";       // 3 bytes
const std::string kEmoji = "\xF0\x9F\x8E\xAC";  // 4 bytes
const std::string kAccent = "\xC3\xA9";         // 2 bytes
const std::vector<CutCase> kCutRules = {
    {"AsciiOfMaximumLengthKept", std::string(2047, 'a'), 2047},
    {"AsciiOneByteTooLong", std::string(2048, 'a'), 2047},
    {"AsciiFarTooLong", std::string(100000, 'a'), 2047},
    {"ThreeByteCharEndingAtLimitKept", std::string(2044, 'a') + kEuro + "b", 2047},
    {"ThreeByteCharOverLimitByOne", std::string(2045, 'a') + kEuro, 2045},
    {"ThreeByteCharOverLimitByTwo", std::string(2046, 'a') + kEuro, 2046},
    {"ThreeByteCharStartingAtLimit", std::string(2047, 'a') + kEuro, 2047},
    {"FourByteCharOverLimitByOne", std::string(2044, 'a') + kEmoji, 2044},
    {"TwoByteCharOverLimit", std::string(2046, 'a') + kAccent, 2046},
    {"CompleteCharBeforeStrayByteAtLimit", std::string(2045, 'a') + kAccent + "\x80\x80", 2047},
    {"InvalidLeadByteDoesNotMoveCut", std::string(2045, 'a') + "\xFF\x80\x80", 2047},
    {"StrayContinuationBytesNotBackedOver", std::string(2040, 'a') + std::string(20, '\x80'), 2047},
    {"TrailingBlanksTrimmedBeforeCut", std::string(2047, 'a') + "   ", 2047},
};
INSTANTIATE_TEST_SUITE_P(CutTo2047Bytes, ProfileCut, testing::ValuesIn(kCutRules),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ProfileLoad, MissingFileReadsEmpty) {
    TempDir dir;
    EXPECT_EQ(ProfileFile::load(dir.file("absent.ini")).value("s", "k"), "");
}

TEST(ProfileLoad, DirectoryReadsEmpty) {
    TempDir dir;
    EXPECT_EQ(ProfileFile::load(dir.path()).value("s", "k"), "");
}

TEST(ProfileLoad, ReadsFileBytes) {
    TempDir dir;
    const std::string path = dir.write("a.ini", "\xEF\xBB\xBF[DirectShow]\r\nfps=29.97\r\n");
    EXPECT_EQ(ProfileFile::load(path).value("directshow", "FPS"), "29.97");
}

TEST(ProfileMalformed, RandomBytesThenValidSection) {
    std::mt19937 random(20240601);
    std::uniform_int_distribution<int> byte(0, 255);
    std::string content;
    for (int i = 0; i < 1 << 20; ++i) content.push_back(static_cast<char>(byte(random)));
    content += "\n[Mirvane check]\nprobe key=found\n";
    EXPECT_EQ(ProfileFile::parse(content).value("Mirvane check", "probe key"), "found");
}

TEST(ProfileMalformed, NulBytesDoNotEndTheText) {
    const std::string content = "[s]\0\nk=1\n\0\0\0\n\0[t]\nj=2"s;
    const ProfileFile profile = ProfileFile::parse(content);
    EXPECT_EQ(profile.value("s", "k"), "1");
    EXPECT_EQ(profile.value("s", "j"), "2");  // "\0[t]" is not a header
}

TEST(ProfileMalformed, MillionsOfLoneCarriageReturnsAreLinear) {
    std::string content = "[s]" + std::string(2'000'000, '\r') + "k=1\n";
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ProfileFile::parse(content).value("s", "k"), "1");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(ProfileMalformed, HundredMegabyteLineReadsQuickly) {
    TempDir dir;
    std::string content = "[List]\nListTitle00=";
    content.append(100'000'000, 'x');
    content += "\nListOption00=after";  // no line end at the end of the file
    const std::string path = dir.write("big.ini", content);
    content = {};

    const auto start = std::chrono::steady_clock::now();
    const ProfileFile profile = ProfileFile::load(path);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(profile.value("List", "ListTitle00"), std::string(2047, 'x'));
    EXPECT_EQ(profile.value("List", "ListOption00"), "after");
}

}  // namespace
}  // namespace mirvane
