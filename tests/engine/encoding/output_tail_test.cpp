#include "engine/encoding/output_tail.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace mirvane {
namespace {

struct TailCase {
    const char* name;
    std::vector<std::string> lines;
    std::string lastLine;
};

TEST(OutputTail, KeepsTheLastLineThatSaysSomething) {
    const std::string longLine = std::string(299, 'x') + "あい";  // the cut falls inside あ
    const TailCase cases[] = {
        {"nothing at all", {}, ""},
        {"blank lines only", {"  ", "\t"}, ""},
        {"the error before ffmpeg's closing words",
         {"Input #0", "clip.avi: Invalid data found when processing input", "Conversion failed!"},
         "clip.avi: Invalid data found when processing input"},
        {"progress lines are passed over",
         {"[mp4 @ 0x1] muxer does not support", "frame=  1 time=00:00:01.00", "size= 1kB time=00:00:02.00",
          "Lsize= 1kB time=00:00:02.00"},
         "[mp4 @ 0x1] muxer does not support"},
        {"blanks around are left out", {"first", "  killed mid-line "}, "killed mid-line"},
        {"a long line is cut before a character", {longLine}, std::string(299, 'x')},
    };
    for (const TailCase& c : cases) {
        OutputTail tail;
        for (const std::string& line : c.lines) tail.readLine(line);
        EXPECT_EQ(tail.lastLine(), c.lastLine) << c.name;
    }
}

}  // namespace
}  // namespace mirvane
