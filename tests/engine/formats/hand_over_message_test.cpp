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

// A whole message read as a listener reads it, in the pieces the reader
// asks for: its files when it is exactly one list.
std::optional<Files> read(std::string_view message, PathStyle style = kNativePathStyle) {
    HandOverReader reader(style);
    while (reader.state() == HandOverReader::State::Reading && !message.empty()) {
        const std::size_t piece = std::min(reader.wanted(), message.size());
        reader.take(message.substr(0, piece));
        message.remove_prefix(piece);
    }
    if (reader.state() != HandOverReader::State::Done || !message.empty()) return std::nullopt;
    return reader.takeFiles();
}

std::string length(std::size_t n) { return {char(n), char(n >> 8), char(n >> 16), char(n >> 24)}; }

// A message of that body.
std::string withLength(const std::string& body) { return length(body.size()) + body; }

std::optional<Files> roundTrip(const Files& files) {
    const std::optional<std::string> message = EncodeHandOver(files);
    return message ? read(*message) : std::nullopt;
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
    HandOverReader largest;
    EXPECT_EQ(largest.take(length(kHandOverMaxBody)), HandOverReader::State::Reading);
    HandOverReader tooLarge;
    EXPECT_EQ(tooLarge.take(length(kHandOverMaxBody + 1)), HandOverReader::State::Refused)
        << "one byte over the limit";
    for (const std::string& body : {"\x02\0\0"s, "\x05\0\0\0abcd"s, "\x01\0\0\0a\0\0"s,
                                    "\xff\xff\xff\xff"
                                    "abc"s}) {
        EXPECT_EQ(read(withLength(body)), std::nullopt);
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
    // refusedAtLength: no name of that many bytes fits, whatever its bytes.
    const struct {
        const char* name;
        PathStyle style;
        std::string path;
        bool fits;
        bool refusedAtLength;
    } rows[] = {
        {"posix longest name", PathStyle::Posix, "/" + std::string(4094, '\xff'), true, false},
        {"posix one byte more", PathStyle::Posix, "/" + std::string(4095, 'a'), false, true},
        {"windows longest ascii name", PathStyle::Windows, "C:\\" + std::string(32764, 'a'), true, false},
        {"windows one unit more", PathStyle::Windows, "C:\\" + std::string(32765, 'a'), false, false},
        {"windows three bytes a unit", PathStyle::Windows, repeat("あ", 32767), true, false},
        {"windows four bytes two units", PathStyle::Windows, repeat("\xf0\x9f\x8e\xac", 16384), false, false},
        {"windows too many bytes for any name", PathStyle::Windows, std::string(3 * 32767 + 1, '\x80'), false,
         true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(FitsSystemPath(row.path, row.style), row.fits);
        EXPECT_EQ(EncodeHandOver({row.path}, row.style).has_value(), row.fits);
        const std::string message = withLength(length(row.path.size()) + row.path);
        // Compared, not printed: the names are thousands of bytes long.
        EXPECT_TRUE(read(message, row.style) == (row.fits ? std::optional(Files{row.path}) : std::nullopt));
        // In a message the listener would take, a name no system opens is
        // refused at its length: none of it is asked for.
        HandOverReader reader(row.style);
        const auto atLength = reader.take(std::string_view(message).substr(0, 2 * kHandOverHeaderSize));
        EXPECT_EQ(atLength,
                  row.refusedAtLength ? HandOverReader::State::Refused : HandOverReader::State::Reading);
        EXPECT_EQ(reader.wanted(), row.refusedAtLength ? 0u : row.path.size());
    }
}

}  // namespace
}  // namespace mirvane
