#include "engine/encoding/output_tail.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace mirvane {
namespace {

struct TailCase {
    const char* name;
    std::vector<std::string> chunks;
    std::string lastLine;
};

TEST(OutputTail, KeepsTheLastLineThatSaysSomething) {
    const std::string longLine = std::string(299, 'x') + "あい";  // the cut falls inside あ
    const TailCase cases[] = {
        {"nothing at all", {}, ""},
        {"blank lines only", {"\n  \r\n\t\n"}, ""},
        {"the error before ffmpeg's closing words",
         {"Input #0\n", "clip.avi: Invalid data found when processing input\n", "Conversion failed!\n"},
         "clip.avi: Invalid data found when processing input"},
        {"progress lines are passed over",
         {"[mp4 @ 0x1] muxer does not support\n", "frame=  1 time=00:00:01.00\r",
          "size= 1kB time=00:00:02.00\r"},
         "[mp4 @ 0x1] muxer does not support"},
        {"a line cut by chunk boundaries",
         {"Unknown enc", "oder 'libfoo'", "\n"},
         "Unknown encoder 'libfoo'"},
        {"an unfinished last line counts", {"first\n", "  killed mid-line "}, "killed mid-line"},
        {"a long line is cut before a character", {longLine + "\n"}, std::string(299, 'x')},
    };
    for (const TailCase& c : cases) {
        OutputTail tail;
        for (const std::string& chunk : c.chunks) tail.add(chunk);
        EXPECT_EQ(tail.lastLine(), c.lastLine) << c.name;
    }
}

TEST(OutputTail, MemoryStaysBoundedWhateverTheOutput) {
    OutputTail tail;
    const std::string chunk(1 << 20, 'y');  // a megabyte without a line end
    for (int i = 0; i < 64; ++i) tail.add(chunk);
    EXPECT_EQ(tail.lastLine().size(), 300u);
}

}  // namespace
}  // namespace mirvane
