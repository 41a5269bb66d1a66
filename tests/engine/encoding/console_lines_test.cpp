#include "engine/encoding/console_lines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace mirvane {
namespace {

std::vector<std::string> linesOf(const std::vector<std::string>& chunks) {
    ConsoleLines lines;
    std::vector<std::string> got;
    auto take = [&got](std::string_view line) { got.emplace_back(line); };
    for (const std::string& chunk : chunks) lines.add(chunk, take);
    lines.finish(take);
    return got;
}

// The recorded releases break their lines with CR and LF alone; ffmpeg.exe's
// console text breaks them with CR LF.
TEST(ConsoleLines, BreaksAndBounds) {
    const std::string longLine = std::string(ConsoleLines::kMaxLineBytes - 1, 'x') + "あい";
    struct Case {
        const char* name;
        std::vector<std::string> chunks;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"CR LF is one break", {"one\r\ntwo\r\n"}, {"one", "two"}},
        {"CR LF cut by a read", {"one\r", "\ntwo\r", "\n"}, {"one", "two"}},
        {"LF CR makes no empty line", {"one\n\rtwo\n\n\n"}, {"one", "two"}},
        {"a line cut by reads", {"Unknown enc", "oder 'libfoo'", "\n"}, {"Unknown encoder 'libfoo'"}},
        {"the unfinished last line", {"first\n", "killed mid-line"}, {"first", "killed mid-line"}},
        {"a long line is cut before a character, not split",
         {longLine + "\nnext\n"},
         {std::string(ConsoleLines::kMaxLineBytes - 1, 'x'), "next"}},
        {"the same over reads",
         {longLine.substr(0, 100), longLine.substr(100), "\nnext\n"},
         {std::string(ConsoleLines::kMaxLineBytes - 1, 'x'), "next"}},
    };
    for (const Case& c : cases) EXPECT_EQ(linesOf(c.chunks), c.lines) << c.name;
}

TEST(ConsoleLines, MemoryStaysBoundedWhateverTheOutput) {
    ConsoleLines lines;
    std::vector<std::size_t> sizes;
    const std::string chunk(1 << 20, 'y');  // a megabyte without a line end
    for (int i = 0; i < 64; ++i)
        lines.add(chunk, [&](std::string_view line) { sizes.push_back(line.size()); });
    lines.add("\n", [&](std::string_view line) { sizes.push_back(line.size()); });
    EXPECT_EQ(sizes, std::vector<std::size_t>{ConsoleLines::kMaxLineBytes});
}

}  // namespace
}  // namespace mirvane
