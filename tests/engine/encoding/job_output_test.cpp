// What six real ffmpeg releases printed for the same seven jobs (data/ffmpeg-output,
// its README says how each was made), fed through a job's reading path in
// the pieces a pipe may cut it into: the verdict, the reason, the gauge's
// course and the log's records.

#include "engine/encoding/job_output.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "engine/jobs/paths.h"
#include "engine/desktop/gauge_scale.h"

namespace mirvane {
namespace {

const std::string kData = MIRVANE_SOURCE_DIR "/tests/engine/encoding/data/ffmpeg-output/";
const char* const kReleases[] = {"3.1", "4.1-snapshot", "4.3", "5.1", "7.1", "9.0"};

std::string readFile(const std::string& path) {
    std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

struct Recorded {
    std::string text;
    int exitCode = 0;
};

Recorded recorded(const std::string& release, const std::string& job) {
    const std::string text = readFile(kData + release + "/" + job + ".txt");
    const std::string code = readFile(kData + release + "/" + job + ".rc");
    EXPECT_FALSE(text.empty() || code.empty()) << "no recorded text for " << release << "/" << job;
    return {text, std::atoi(code.c_str())};
}

// The pieces a pipe may return the text in.
using Chunking = std::vector<std::string_view>;

Chunking inChunksOf(std::string_view text, std::size_t size) {
    Chunking chunks;
    for (std::size_t at = 0; at < text.size(); at += size) chunks.push_back(text.substr(at, size));
    return chunks;
}

Chunking oneLinePerChunk(std::string_view text) {
    Chunking chunks;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find_first_of("\r\n"), text.size() - 1);
        chunks.push_back(text.substr(0, end + 1));
        text.remove_prefix(end + 1);
    }
    return chunks;
}

Chunking randomChunks(std::string_view text, unsigned seed) {
    std::mt19937 random(seed);
    Chunking chunks;
    while (!text.empty()) {
        const std::size_t size = std::min<std::size_t>(random() % 2048 + 1, text.size());
        chunks.push_back(text.substr(0, size));
        text.remove_prefix(size);
    }
    return chunks;
}

std::vector<std::pair<std::string, Chunking>> chunkings(std::string_view text) {
    std::vector<std::pair<std::string, Chunking>> all = {
        {"2048-byte chunks", inChunksOf(text, 2048)},
        {"one line per chunk", oneLinePerChunk(text)},
        {"one byte per chunk", inChunksOf(text, 1)},
    };
    for (unsigned seed = 1; seed <= 6; ++seed)
        all.push_back({"random chunks, seed " + std::to_string(seed), randomChunks(text, seed)});
    return all;
}

// The lines as the encoder printed them: broken at CR, LF or CR LF, none empty.
std::vector<std::string> printedLines(std::string_view text) {
    std::vector<std::string> lines;
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') {
            line += text[i];
            continue;
        }
        if (!line.empty()) lines.push_back(line);
        line.clear();
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

struct Seen {
    JobResult result;
    std::optional<int> gaugeMax;
    std::vector<int> percents;  // each percentage the gauge showed while the text came, in order
    int finalPercent = 0;       // the percentage shown once the job was judged
    std::vector<std::string> logged;
};

// The gauge as the window shows it.
class ShownGauge : public GaugeView {
public:
    void setMaxValue(int value) override {
        m_scale.setMaxValue(value);
        maxValue = value;
        shown();
    }
    void setProgress(int value) override {
        m_scale.setProgress(value);
        shown();
    }
    int percent() const { return m_scale.percent(); }

    std::optional<int> maxValue;
    std::vector<int> percents;  // each new percentage shown

private:
    void shown() {
        if (percents.empty() || percents.back() != m_scale.percent()) percents.push_back(m_scale.percent());
    }
    GaugeScale m_scale;
};

// The job's reading path without its pipe: chunks in, verdict, gauge and log out.
Seen readThroughAJob(const Chunking& chunks, int exitCode) {
    ShownGauge gauge;
    Seen seen;
    JobOutput output(gauge);
    auto log = [&seen](std::string_view line) { seen.logged.emplace_back(line); };
    for (const std::string_view chunk : chunks) output.add(chunk, log);
    output.finish(log);
    seen.percents = gauge.percents;
    seen.result = output.judge({false, exitCode});
    seen.gaugeMax = gauge.maxValue;
    seen.finalPercent = gauge.percent();
    return seen;
}

struct Expected {
    int32_t code;
    std::optional<int> gaugeMax;  // the input's length, when the gauge has a scale
    std::string reason;           // for a failure
};

// What each job must come to on every release; the reasons where they differ.
Expected expectedFor(const std::string& release, const std::string& job) {
    const bool tagged = release == "7.1" || release == "9.0";
    if (job == "success" || job == "noaudio") return {kResultCompleted, 90, ""};
    if (job == "wav2mp3" || job == "wav2m4a") return {kResultCompleted, 1200, ""};
    if (job == "corrupt")
        return {kResultFailed, std::nullopt,
                "/home/user/Videos/corrupt.mp4: Invalid data found when processing input"};
    if (job == "videoname")
        return {kResultFailed, std::nullopt,
                "/home/user/Videos/bad video:12kB audio:3kB.mp4: Invalid data found when processing input"};
    return {kResultFailed, 12,
            std::string("/media/user/SMALL/small-out.mp4: ") +
                (tagged ? "Error submitting a packet to the muxer: No space left on device"
                        : "av_interleaved_write_frame(): No space left on device")};
}

void expectRightJob(const std::string& text, int exitCode, const Expected& expected,
                    const std::string& name) {
    const std::vector<std::string> printed = printedLines(text);
    for (const auto& [how, chunks] : chunkings(text)) {
        SCOPED_TRACE(name + ", " + how);
        const Seen seen = readThroughAJob(chunks, exitCode);
        EXPECT_EQ(seen.result.code, expected.code);
        EXPECT_EQ(seen.result.reason, expected.reason);
        EXPECT_EQ(seen.gaugeMax, expected.gaugeMax);
        // Forward only, never full while the encoder speaks; full once judged
        // complete, and only then.
        EXPECT_TRUE(std::is_sorted(seen.percents.begin(), seen.percents.end()))
            << ::testing::PrintToString(seen.percents);
        EXPECT_LT(seen.percents.empty() ? 0 : seen.percents.back(), 100)
            << ::testing::PrintToString(seen.percents);
        EXPECT_EQ(seen.finalPercent == 100, expected.code == kResultCompleted && expected.gaugeMax);
        // The gauge moves while the encoder works, not just at the end.
        if (expected.gaugeMax) {
            EXPECT_TRUE(std::any_of(seen.percents.begin(), seen.percents.end(), [](int percent) {
                return percent > 0 && percent < 100;
            })) << ::testing::PrintToString(seen.percents);
        }
        // Each line whole and as printed, whatever the pieces.
        EXPECT_EQ(seen.logged, printed);
    }
}

TEST(JobOutput, WhatSixReleasesPrintedForSevenJobs) {
    for (const char* release : kReleases) {
        for (const char* job :
             {"success", "corrupt", "videoname", "fulldisk", "wav2mp3", "wav2m4a", "noaudio"}) {
            const Recorded run = recorded(release, job);
            expectRightJob(run.text, run.exitCode, expectedFor(release, job),
                           std::string(release) + "/" + job);
        }
    }
}

// Text the encoder echoes from a file's name or its tags: the same jobs,
// with the words of its own lines put where a user or a stranger could put
// them. ffmpeg prints a tag's value after its name, indented under
// "Metadata:", and each line break in it as a new line indented further.
TEST(JobOutput, WordsEchoedFromANameOrATagDecideNothing) {
    struct Echo {
        const char* name;
        const char* title;     // a title tag of input and output, as ffmpeg prints it
        const char* fileName;  // the input's and output's names
    };
    const Echo echoes[] = {
        {"a title tag holding a length", "Duration: 99:00:00.00", nullptr},
        {"a title tag holding a full disk", "Error writing trailer: No space left on device", nullptr},
        {"a title tag with line breaks",
         "x\n                    : Duration: 99:00:00.00, start: 0.000000, bitrate: 1 kb/s"
         "\n                    : Error writing trailer of a.mp4: No space left on device",
         nullptr},
        {"a name holding a full disk", nullptr, "Error writing trailer: No space left on device"},
        {"a name holding a length and a summary", nullptr,
         "  Duration: 99:00:00.00 video:1kB audio:1kB av_interleaved_write_frame(): Error closing file"},
    };
    for (const char* release : kReleases) {
        for (const char* job : {"success", "noaudio"}) {
            const Recorded run = recorded(release, job);
            for (const Echo& echo : echoes) {
                std::string text = run.text;
                if (echo.title)
                    text = ReplaceAll(text, "    major_brand     : isom\n",
                                      "    major_brand     : isom\n    title           : " +
                                          std::string(echo.title) + "\n");
                if (echo.fileName) {
                    for (const char* input : {"/Videos/clip90.", "/Videos/noaudio90."})
                        text = ReplaceAll(text, input, std::string("/Videos/") + echo.fileName + ".");
                    text = ReplaceAll(text, "/out/" + std::string(job), std::string("/out/") + echo.fileName);
                }
                ASSERT_NE(text, run.text) << echo.name;
                expectRightJob(text, run.exitCode, expectedFor(release, job),
                               std::string(release) + "/" + job + ", " + echo.name);
            }
        }
    }
}

}  // namespace
}  // namespace mirvane
