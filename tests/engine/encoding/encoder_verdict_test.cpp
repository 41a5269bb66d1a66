// The verdict on a run from the encoder's text as ffmpeg's releases print it
// and from how the run ended.

#include "engine/encoding/encoder_verdict.h"

#include <gtest/gtest.h>

#include "engine/encoding/output_tail.h"
#include "engine/window/texts.h"

namespace mirvane {
namespace {

constexpr const char* kHeader =
    "Input #0, avi, from 'Funny video: cats.avi':\n  Metadata:\n    title           : video:1kB audio:0kB x\n"
    "  Duration: 00:00:05.00, start: 0.000000, bitrate: 1 kb/s\n"
    "frame=   50 fps=0.0 q=-1.0 size=       1kB time=00:00:02.00 bitrate=  2.1kbits/s speed=4x    \r";
// The closing summary of 4.1, 5.1 and 6.0, then of 6.1 and 7.1 with the output's tag.
constexpr const char* kSummary51 =
    "\nvideo:200kB audio:9kB subtitle:0kB other streams:0kB global headers:0kB muxing overhead: 0.9%\n";
constexpr const char* kSummary71 =
    "\n[out#0/mp4 @ 0x5581e0a3c2c0] video:200KiB audio:9KiB subtitle:0KiB "
    "other streams:0KiB global headers:0KiB muxing overhead: 0.905456%\n";
constexpr const char* kFullDisk51 =
    "av_interleaved_write_frame(): No space left on device\n"
    "Error writing trailer of /v/clip.mkv: No space left on device\n";
constexpr const char* kFullDisk71 =
    "[out#0/matroska @ 0x55d1c0] Error writing trailer: No space left on device\n"
    "[out#0/matroska @ 0x55d1c0] Error closing file: No space left on device\n";

struct VerdictCase {
    const char* name;
    std::string text;
    EncoderEnd end;
    int32_t code;
    std::string reason;
};

TEST(EncoderVerdict, CompleteOnlyWithTheSummaryAsPrintedExitZeroAndNoWriteError) {
    const std::string header = kHeader;
    const VerdictCase cases[] = {
        {"5.1 success", header + kSummary51, {false, 0}, kResultCompleted, ""},
        {"7.1 success", header + kSummary71, {false, 0}, kResultCompleted, ""},
        {"a summary in a name or a tag only",
         header + "\n",
         {false, 0},
         kResultDurationSeen,
         "Duration: 00:00:05.00, start: 0.000000, bitrate: 1 kb/s"},
        {"5.1 full disk, exit 0",
         header + kFullDisk51 + kSummary51,
         {false, 0},
         kResultDurationSeen,
         "av_interleaved_write_frame(): No space left on device"},
        {"7.1 full disk",
         header + kFullDisk71 + kSummary71 + "Conversion failed!\n",
         {false, 1},
         kResultDurationSeen,
         "[out#0/matroska @ 0x55d1c0] Error writing trailer: No space left on device"},
        {"a summary then a failing exit code",
         header + kSummary51,
         {false, 1},
         kResultDurationSeen,
         "video:200kB audio:9kB subtitle:0kB other streams:0kB global headers:0kB muxing overhead: 0.9%"},
        {"a crash after the summary",
         header + kSummary51,
         {false, std::nullopt},
         kResultDurationSeen,
         "video:200kB audio:9kB subtitle:0kB other streams:0kB global headers:0kB muxing overhead: 0.9%"},
        {"a crash with nothing said",
         "",
         {false, std::nullopt},
         kResultNothingSeen,
         texts::kReasonEncoderCrashed},
        {"silence and exit 3",
         "",
         {false, 3},
         kResultNothingSeen,
         std::string(texts::kReasonEncoderExitCode) + "3"},
        {"a stop after the summary", header + kSummary51, {true, std::nullopt}, kResultStopped, ""},
        {"a summary cut short stays unseen", header + "\nvideo:", {false, 0}, kResultDurationSeen, "video:"},
    };
    for (const VerdictCase& c : cases) {
        VerdictReader reader;
        OutputTail tail;
        // In two halves, as reads cut the text anywhere.
        for (const std::string_view half : {std::string_view(c.text).substr(0, c.text.size() / 2),
                                            std::string_view(c.text).substr(c.text.size() / 2)}) {
            reader.add(half);
            tail.add(half);
        }
        reader.finish();
        const JobResult result =
            JudgeEncoderRun(reader, c.end, c.code == kResultDurationSeen, tail.lastLine());
        EXPECT_EQ(result.code, c.code) << c.name;
        EXPECT_EQ(result.reason, c.reason) << c.name;
    }
}

}  // namespace
}  // namespace mirvane
