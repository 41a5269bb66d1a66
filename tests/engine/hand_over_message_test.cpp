// The message between two copies: whatever one sends arrives byte for byte,
// and nothing malformed is taken for a list of files.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/hand_over_message.h"

namespace mirvane {
namespace {

using Files = std::vector<std::string>;
using namespace std::string_literals;

std::optional<Files> roundTrip(const Files& files) {
    const std::optional<std::string> message = EncodeHandOver(files);
    if (!message) return std::nullopt;
    const std::string_view whole = *message;
    const std::optional<std::size_t> size = HandOverBodySize(whole.substr(0, kHandOverHeaderSize));
    if (!size || *size != whole.size() - kHandOverHeaderSize) return std::nullopt;
    return DecodeHandOverBody(whole.substr(kHandOverHeaderSize));
}

TEST(HandOverMessage, EveryListArrivesAsSent) {
    const struct {
        const char* name;
        Files files;
    } rows[] = {
        {"no files", {}},
        {"one file", {"/home/yuki/Videos/clip.mkv"}},
        {"an empty argument", {"", "/v/a.avi", ""}},
        {"bytes that are not UTF-8, NUL and high bytes",
         {"/v/\x82\xa0\xff.avi", "a\0b"s, "\x01\x02\x03\x04"}},
        {"a name as long as the system allows", {std::string(4096, 'x')}},
        {"many files in order", Files(10000, "/v/file.avi")},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(roundTrip(row.files), row.files);
    }
}

// The same bytes on every machine, so that copies built apart understand
// each other.
TEST(HandOverMessage, LengthsAreLittleEndian) {
    EXPECT_EQ(EncodeHandOver({"ab", ""}), "\x0a\0\0\0\x02\0\0\0ab\0\0\0\0"s);
    const std::string longName(0x10203, 'n');
    EXPECT_EQ(EncodeHandOver({longName})->substr(0, 8), "\x07\x02\x01\0\x03\x02\x01\0"s);
}

TEST(HandOverMessage, AHeaderOverTheLimitIsRefused) {
    const struct {
        const char* name;
        std::string header;
        std::optional<std::size_t> size;
    } rows[] = {
        {"empty body", "\0\0\0\0"s, 0},
        {"exactly the limit", "\0\0\0\x01"s, kHandOverMaxBody},
        {"one byte over", "\x01\0\0\x01"s, std::nullopt},
        {"the largest length", "\xff\xff\xff\xff", std::nullopt},
        {"a short header", "\0\0\0"s, std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(HandOverBodySize(row.header), row.size);
    }
}

TEST(HandOverMessage, AMalformedBodyIsNoList) {
    const struct {
        const char* name;
        std::string body;
    } rows[] = {
        {"a length cut short", "\x02\0\0"s},
        {"a length past the end", "\x05\0\0\0abcd"s},
        {"a whole file followed by part of a length", "\x01\0\0\0a\0\0"s},
        {"a length near 4 GiB",
         "\xff\xff\xff\xff"
         "abc"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(DecodeHandOverBody(row.body), std::nullopt);
    }
}

TEST(HandOverMessage, FilesBeyondTheLimitAreNotEncoded) {
    const std::string half(kHandOverMaxBody / 2, 'x');
    EXPECT_EQ(EncodeHandOver({half, half}), std::nullopt) << "their lengths take it over the limit";
    EXPECT_TRUE(roundTrip({half, half.substr(8)}));
}

}  // namespace
}  // namespace mirvane
