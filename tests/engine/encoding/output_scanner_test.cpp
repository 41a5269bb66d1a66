#include "engine/encoding/output_scanner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace mirvane {
namespace {

struct ClockCase {
    const char* name;
    const char* text;
    int32_t duration;                  // ParseDuration
    std::optional<int32_t> mediaTime;  // ParseMediaTime
};

TEST(OutputScannerClock, ParsesBothForms) {
    const std::vector<ClockCase> cases = {
        {"ffmpeg duration", "00:01:23.45", 83, 83},
        {"hours count", "01:00:00.00", 3600, 3600},
        {"more than two hour digits", "100:00:01.00", 360001, 360001},
        {"plain seconds", "41.20", 41, 41},
        {"no fraction", "00:00:07", 7, 7},
        {"leading zeros are decimal", "00:08:09.99", 489, 489},
        {"not available", "N/A", 0, std::nullopt},
        {"empty", "", 0, std::nullopt},
        {"negative", "-00:00:00.03", 0, std::nullopt},
        {"empty field", "00::41.20", 0, std::nullopt},
        {"four fields", "1:2:3:4", 0, std::nullopt},
        {"beyond 32 bits", "99999999999:00:00.00", 0, std::nullopt},
        {"hours overflow the total", "600000:00:00", 0, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseDuration(c.text), c.duration) << c.name;
        EXPECT_EQ(ParseMediaTime(c.text), c.mediaTime) << c.name;
    }
}

struct ScanCase {
    const char* name;
    std::vector<const char*> lines;
    std::optional<int32_t> duration;
    std::optional<int32_t> position;
};

// What the recorded releases' texts do not show.
TEST(OutputScanner, OnlyTheEncodersOwnLinesCount) {
    constexpr const char* kInput = "Input #0, matroska,webm, from 'clip.mkv':";
    const ScanCase cases[] = {
        {"a length outside an input's header", {"  Duration: 00:00:05.00, start: 0.000000"}, {}, {}},
        {"a length not available", {kInput, "  Duration: N/A, bitrate: N/A"}, 0, {}},
        {"the first input's length stays",
         {kInput, "  Duration: 00:00:05.00, start: 0.0",
          "Input #1, wav, from 'a.wav':", "  Duration: 00:10:00.00"},
         5,
         {}},
        {"a tag named Duration", {kInput, "  Metadata:", "    Duration        : 00:10:00.00"}, {}, {}},
        {"a header ended by the encoder's next line",
         {kInput, "Stream mapping:", "  Duration: 00:10:00.00, start: 0.0"},
         {},
         {}},
        {"a time in a tag", {kInput, "    comment         : frame=1 time=00:05:00.00"}, {}, {}},
        {"a time on a line that is no progress line", {"[info] time=00:05:00.00 bitrate=1"}, {}, {}},
        {"a negative time at the start",
         {"frame=    1 fps=0.0 q=0.0 size=0kB time=-00:00:00.02 bitrate=N/A"},
         {},
         {}},
        {"a smaller time does not take the progress back",
         {"frame=  9 size=1kB time=00:00:08.00 bitrate=1", "size=   1kB time=00:00:03.00 bitrate=1"},
         {},
         8},
    };
    for (const ScanCase& c : cases) {
        OutputScanner scanner;
        for (const char* line : c.lines) scanner.readLine(line);
        EXPECT_EQ(scanner.duration(), c.duration) << c.name;
        EXPECT_EQ(scanner.position(), c.position) << c.name;
    }
}

}  // namespace
}  // namespace mirvane
