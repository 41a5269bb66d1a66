// The verdict on a run from how it ended, and the reasons made readable from
// lines the recorded releases' texts do not hold (those are read in
// job_output_test).

#include "engine/encoding/encoder_verdict.h"

#include <gtest/gtest.h>

#include <vector>

#include "engine/texts/texts.h"

namespace mirvane {
namespace {

constexpr const char* kDuration = "  Duration: 00:00:05.00, start: 0.000000, bitrate: 1 kb/s";
constexpr const char* kSummary =
    "video:200kB audio:9kB subtitle:0kB other streams:0kB global headers:0kB muxing overhead: 0.9%";

struct VerdictCase {
    const char* name;
    std::vector<std::string> lines;
    EncoderEnd end;
    int32_t code;
    std::string reason;
};

TEST(EncoderVerdict, CompleteOnlyWithTheSummaryAsPrintedExitZeroAndNoWriteError) {
    const VerdictCase cases[] = {
        {"a write error and exit 0",
         {kDuration, "Error writing trailer of /v/out.mp4: Disk quota exceeded", kSummary},
         {false, 0},
         kResultFailed,
         "Error writing trailer of /v/out.mp4: Disk quota exceeded"},
        {"a crash after the summary", {kDuration, kSummary}, {false, std::nullopt}, kResultFailed, kSummary},
        {"a crash with nothing said", {}, {false, std::nullopt}, kResultFailed, texts::kReasonEncoderCrashed},
        {"silence and exit 3",
         {},
         {false, 3},
         kResultFailed,
         std::string(texts::kReasonEncoderExitCode) + "3"},
        {"silence and exit 0", {}, {false, 0}, kResultFailed, texts::kReasonNoOutput},
        {"a stop after the summary", {kDuration, kSummary}, {true, std::nullopt}, kResultStopped, ""},
        {"a summary cut short", {kDuration, "video:"}, {false, 0}, kResultFailed, "video:"},
        // 6.1 and later, an output that cannot be opened.
        {"the output named on the line before the cause",
         {"[out#0/mp4 @ 0x55d1c0] Error opening output /v/out.mp4: Permission denied",
          "Error opening output file /v/out.mp4.", "Error opening output files: Permission denied"},
         {false, 1},
         kResultFailed,
         "/v/out.mp4: Permission denied"},
        {"Windows prints pointers without 0x",
         {"[vost#0:0/libx264 @ 000001F2A3B4C5D0] Unknown encoder 'libfoo'"},
         {false, 1},
         kResultFailed,
         "Unknown encoder 'libfoo'"},
        {"brackets that are no tag stay",
         {"[mp4] Error: [x @ y] stays"},
         {false, 1},
         kResultFailed,
         "[mp4] Error: [x @ y] stays"},
    };
    for (const VerdictCase& c : cases) {
        VerdictReader reader;
        std::string last;
        for (const std::string& line : c.lines) {
            reader.readLine(line);
            last = line;
        }
        const JobResult result = JudgeEncoderRun(reader, c.end, last);
        EXPECT_EQ(result.code, c.code) << c.name;
        EXPECT_EQ(result.reason, c.reason) << c.name;
    }
}

}  // namespace
}  // namespace mirvane
