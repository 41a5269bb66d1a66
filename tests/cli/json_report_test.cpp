#include "cli/json_report.h"

#include <gtest/gtest.h>

namespace mirvane::cli {
namespace {

TEST(JsonString, KeepsUtf8AndEscapesWhatJsonCannotHold) {
    const std::pair<std::string, std::string> cases[] = {
        {"一本目.mkv", "\"一本目.mkv\""},
        {"say \"hi\"\\", "\"say \\\"hi\\\"\\\\\""},
        {"a\nb\x01", "\"a\\u000ab\\u0001\""},
        // Not UTF-8: a lone continuation byte, a Shift-JIS pair, an overlong
        // slash, a surrogate, a sequence cut short at the end.
        {"\x80x", "\"\\ufffdx\""},
        {"\x83\x65", "\"\\ufffde\""},
        {"\xc0\xaf", "\"\\ufffd\\ufffd\""},
        {"\xed\xa0\x80", "\"\\ufffd\\ufffd\\ufffd\""},
        {"a\xe3\x81", "\"a\\ufffd\\ufffd\""},
    };
    for (const auto& [text, json] : cases) EXPECT_EQ(JsonString(text), json) << testing::PrintToString(text);
}

}  // namespace
}  // namespace mirvane::cli
