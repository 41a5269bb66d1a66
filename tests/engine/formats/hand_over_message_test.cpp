// The message between two copies: whatever one sends arrives byte for byte,
// and nothing malformed is taken for a list of files.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/formats/hand_over_message.h"

namespace mirvane {
namespace {

using Files = std::vector<std::string>;
using namespace std::string_literals;

std::optional<Files> roundTrip(const Files& files) {
    const std::optional<std::string> message = EncodeHandOver(files);
    if (!message) return std::nullopt;
    const std::optional<std::size_t> size = HandOverBodySize(message->substr(0, kHandOverHeaderSize));
    if (size != message->size() - kHandOverHeaderSize) return std::nullopt;
    return DecodeHandOverBody(std::string_view(*message).substr(kHandOverHeaderSize));
}

TEST(HandOverMessage, EveryListArrivesAsSent) {
    const Files rows[] = {
        {},
        {"", "/v/a.avi", ""},
        {"/v/\x82\xa0\xff.avi", "a\0b"s, "\x01\x02\x03\x04"},
        Files(10000, "/v/file.avi"),
    };
    for (const Files& files : rows) EXPECT_EQ(roundTrip(files), files);
    // Little-endian lengths, the same bytes on every machine.
    EXPECT_EQ(EncodeHandOver({"ab", ""}), "\x0a\0\0\0\x02\0\0\0ab\0\0\0\0"s);
    std::string japanese;
    for (int i = 0; i < 0x10203 / 3; ++i) japanese += "あ";
    EXPECT_EQ(EncodeHandOver({japanese}, PathStyle::Windows).value_or("").substr(0, 8),
              "\x07\x02\x01\0\x03\x02\x01\0"s);
}

TEST(HandOverMessage, NothingMalformedOrTooLargeIsAList) {
    EXPECT_EQ(HandOverBodySize("\0\0\x80\0"s), kHandOverMaxBody);
    EXPECT_EQ(HandOverBodySize("\x01\0\x80\0"s), std::nullopt) << "one byte over the limit";
    EXPECT_EQ(HandOverBodySize("\0\0\0"s), std::nullopt);
    for (const std::string& body : {"\x02\0\0"s, "\x05\0\0\0abcd"s, "\x01\0\0\0a\0\0"s,
                                    "\xff\xff\xff\xff"
                                    "abc"s}) {
        EXPECT_EQ(DecodeHandOverBody(body), std::nullopt);
    }
    // 2048 names of 4092 bytes and their lengths fill the body exactly.
    Files full(kHandOverMaxBody / 4096, std::string(4092, 'x'));
    EXPECT_TRUE(roundTrip(full));
    full.back() += 'x';
    EXPECT_EQ(EncodeHandOver(full), std::nullopt) << "their lengths take it over the limit";
}

// A name the system cannot open is refused, on Windows counted in UTF-16
// units, and the reader refuses it at its length, before taking its bytes.
TEST(HandOverMessage, NamesUpToTheSystemsLongestPathAndNoLonger) {
    auto repeat = [](const std::string& piece, std::size_t times) {
        std::string text;
        while (times-- > 0) text += piece;
        return text;
    };
    const struct {
        const char* name;
        PathStyle style;
        std::string path;
        bool fits;
    } rows[] = {
        {"posix longest name", PathStyle::Posix, "/" + std::string(4094, '\xff'), true},
        {"posix one byte more", PathStyle::Posix, "/" + std::string(4095, 'a'), false},
        {"windows longest ascii name", PathStyle::Windows, "C:\\" + std::string(32764, 'a'), true},
        {"windows one unit more", PathStyle::Windows, "C:\\" + std::string(32765, 'a'), false},
        {"windows three bytes a unit", PathStyle::Windows, repeat("あ", 32767), true},
        {"windows four bytes two units", PathStyle::Windows, repeat("\xf0\x9f\x8e\xac", 16384), false},
        {"windows too many bytes for any name", PathStyle::Windows, std::string(3 * 32767 + 1, '\x80'), false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(FitsSystemPath(row.path, row.style), row.fits);
        EXPECT_EQ(EncodeHandOver({row.path}, row.style).has_value(), row.fits);
        const std::size_t n = row.path.size();
        const std::string body = std::string{char(n), char(n >> 8), char(n >> 16), '\0'} + row.path;
        // Compared, not printed: the names are thousands of bytes long.
        EXPECT_TRUE(DecodeHandOverBody(body, row.style) == (row.fits ? std::optional(Files{row.path}) : std::nullopt));
    }
    // A 16 MiB name is refused at its length: nothing more is asked for.
    HandOverReader reader(PathStyle::Posix);
    EXPECT_EQ(reader.take("\x04\0\0\x01\0\0\0\x01"s), HandOverReader::State::Refused);
    EXPECT_EQ(reader.wanted(), 0u);
}

}  // namespace
}  // namespace mirvane
