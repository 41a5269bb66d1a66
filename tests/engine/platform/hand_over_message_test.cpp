// The message between two copies: whatever one sends arrives byte for byte,
// and nothing malformed is taken for a list of files.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/platform/hand_over_message.h"

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
    EXPECT_EQ(EncodeHandOver({std::string(0x10203, 'n')})->substr(0, 8), "\x07\x02\x01\0\x03\x02\x01\0"s);
}

TEST(HandOverMessage, NothingMalformedOrTooLargeIsAList) {
    EXPECT_EQ(HandOverBodySize("\0\0\0\x01"s), kHandOverMaxBody);
    EXPECT_EQ(HandOverBodySize("\x01\0\0\x01"s), std::nullopt) << "one byte over the limit";
    EXPECT_EQ(HandOverBodySize("\0\0\0"s), std::nullopt);
    for (const std::string& body : {"\x02\0\0"s, "\x05\0\0\0abcd"s, "\x01\0\0\0a\0\0"s,
                                    "\xff\xff\xff\xff"
                                    "abc"s}) {
        EXPECT_EQ(DecodeHandOverBody(body), std::nullopt);
    }
    const std::string half(kHandOverMaxBody / 2, 'x');
    EXPECT_EQ(EncodeHandOver({half, half}), std::nullopt) << "their lengths take it over the limit";
    EXPECT_TRUE(roundTrip({half, half.substr(8)}));
}

}  // namespace
}  // namespace mirvane
