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

struct Expected {
    std::optional<int32_t> duration;
    std::optional<int32_t> position;
    bool completed = false;
};

struct ScanCase {
    const char* name;
    std::vector<std::string> chunks;
    std::vector<Expected> expected;  // one per chunk
};

TEST(OutputScanner, ChunkSequences) {
    const std::vector<ScanCase> cases = {
        {"duration line", {"  Duration: 00:01:23.45, start: 0.000000, bitrate: 1 kb/s\n"}, {{83, {}, false}}},
        {"plain-seconds time", {"time=41.20 bitrate= 512.0kbits/s"}, {{{}, 41, false}}},
        {"clock time", {"frame=1 time=00:00:41.20 bitrate=N/A\r"}, {{{}, 41, false}}},
        {"summary", {"video:1024kB audio:256kB\n"}, {{{}, {}, true}}},
        {"duration and summary in one chunk",
         {"Duration: 00:00:10.00, start\nvideo:1kB audio:1kB\n"},
         {{10, {}, true}}},
        {"only the first time of a chunk counts",
         {"time=00:00:01.00 x\rtime=00:00:02.00 x\rtime=00:00:03.00 x\r"},
         {{{}, 1, false}}},
        {"time not available", {"size=N/A time=N/A bitrate=N/A\r"}, {{}}},
        {"negative time", {"time=-00:00:00.03 bitrate\r"}, {{}}},
        {"duration not available", {"Duration: N/A, bitrate: N/A\n"}, {{0, {}, false}}},
        {"capitalised summary does not match", {"Video: h264\n"}, {{}}},
        {"no markers", {"Stream #0:0: Audio: aac\n"}, {{}}},
        {"duration marker split", {"  Dura", "tion: 00:00:05.00, start\n"}, {{}, {5, {}, false}}},
        {"duration value split", {"  Duration: 00:0", "0:05.00, start\n"}, {{}, {5, {}, false}}},
        {"time value split at the fraction",
         {"frame=9 time=00:00:4", "1.20 bitrate\r"},
         {{}, {{}, 41, false}}},
        {"summary split", {"\nvid", "eo:10kB audio\n"}, {{}, {{}, {}, true}}},
        {"a counted marker is not counted again",
         {"time=00:00:03.00 bitrate", "=1kbits/s speed=1x\r"},
         {{{}, 3, false}, {}}},
        {"the carried line's next marker counts in the new chunk",
         {"time=00:00:01.00 x\rtime=00:00:0", "2.00 x\r"},
         {{{}, 1, false}, {{}, 2, false}}},
        {"a marker completed by the next chunk's first byte",
         {"time=00:00:07", ".00 bitrate\r"},
         {{}, {{}, 7, false}}},
        {"a split value with a later whole one: the first completed counts",
         {"time=00:00:0", "8.00 x\rtime=00:00:09.00 x\r"},
         {{}, {{}, 8, false}}},
    };
    for (const auto& c : cases) {
        OutputScanner scanner;
        ASSERT_EQ(c.chunks.size(), c.expected.size()) << c.name;
        for (std::size_t i = 0; i < c.chunks.size(); ++i) {
            ChunkMarkers got = scanner.scan(c.chunks[i]);
            EXPECT_EQ(got.duration, c.expected[i].duration) << c.name << ", chunk " << i;
            EXPECT_EQ(got.position, c.expected[i].position) << c.name << ", chunk " << i;
            EXPECT_EQ(got.completed, c.expected[i].completed) << c.name << ", chunk " << i;
        }
    }
}

// Real encoder text cut at every possible read boundary still yields each
// marker exactly once.
TEST(OutputScanner, EveryBoundaryOfRealTextCountsEachMarkerOnce) {
    const std::string text =
        "Input #0, lavfi, from 'testsrc':\n  Duration: 00:00:12.00, start: 0.000000, bitrate: N/A\n"
        "frame=  100 fps=0.0 q=28.0 size=       0kB time=00:00:03.96 bitrate=   0.1kbits/s speed=7.9x\r"
        "video:52kB audio:0kB subtitle:0kB other streams:0kB global headers:0kB muxing overhead: 2.1%\n";
    for (std::size_t cut = 1; cut < text.size(); ++cut) {
        OutputScanner scanner;
        int durations = 0, positions = 0, completions = 0;
        for (std::string_view part :
             {std::string_view(text).substr(0, cut), std::string_view(text).substr(cut)}) {
            ChunkMarkers got = scanner.scan(part);
            if (got.duration) {
                ++durations;
                EXPECT_EQ(*got.duration, 12) << "cut at " << cut;
            }
            if (got.position) {
                ++positions;
                EXPECT_EQ(*got.position, 3) << "cut at " << cut;
            }
            completions += got.completed;
        }
        EXPECT_EQ(durations, 1) << "cut at " << cut;
        EXPECT_EQ(positions, 1) << "cut at " << cut;
        EXPECT_EQ(completions, 1) << "cut at " << cut;
    }
}

TEST(OutputScanner, ALongLineWithoutBreaksKeepsTheCarryBounded) {
    OutputScanner scanner;
    const std::string noise(2048, 'x');
    for (int i = 0; i < 1000; ++i) scanner.scan(noise);
    // A marker completed across the boundary after all that noise still counts.
    EXPECT_FALSE(scanner.scan(noise + "time=00:00:1").position);
    EXPECT_EQ(scanner.scan("5.00 x\r").position, 15);
}

}  // namespace
}  // namespace mirvane
