#include "engine/encoding/encoder_job.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>

#include "engine/encoding/conversion_log.h"
#include "engine/jobs/paths.h"
#include "engine/texts/texts.h"
#include "support/descriptor_count.h"
#include "support/process_usage.h"
#include "support/system_facts.h"
#include "support/worker_harness.h"

namespace mirvane {
namespace {

using test::WorkerHarness;

constexpr const char* kDuration5 =
    "print:Input #0, avi, from 'clip.avi':\\n  Duration: 00:00:05.00, start: 0.000000, bitrate: 1 kb/s\\n";
constexpr const char* kSummary = "print:video:10kB audio:1kB subtitle:0kB other streams:0kB\\n";

struct ResultCase {
    const char* name;
    std::string command;
    int32_t result;
    bool encoderPresent = true;
};

TEST(EncoderJob, ResultCodes) {
    WorkerHarness h;
    const std::vector<ResultCase> cases = {
        {"the encoder cannot be started", h.command({"-i", "x"}), kResultStartFailed, false},
        {"no marker at all", h.command({"print:cannot open input\\n", "exit:1"}), kResultFailed},
        {"the input's length only", h.command({kDuration5, "exit:1"}), kResultFailed},
        {"a whole conversion", h.command({"progress:3:1"}), kResultCompleted},
        {"a summary and then a failing exit code", h.command({kDuration5, kSummary, "exit:7"}),
         kResultFailed},
        {"a crash after the length", h.command({kDuration5, "crash:11"}), kResultFailed},
        {"the summary without a length", h.command({kSummary}), kResultCompleted},
        {"text after a NUL byte is not examined",
         h.command(
             {"print:Input #0, avi, from 'a':\\n  Duration: 00:00:05.00, start\\n\\0video:1kB audio:0kB\\n"}),
         kResultFailed},
        {"a summary cut by a read boundary",
         h.command({kDuration5, "print:vid", "sleep:50", "print:eo:10kB audio:1kB\\n"}), kResultCompleted},
        {"an encoder that exits before it is looked at", h.command({kDuration5, kSummary, "exit:0"}),
         kResultCompleted},
    };
    for (const auto& c : cases) {
        h.setEncoderPresent(c.encoderPresent);
        EXPECT_EQ(h.run(c.command), c.result) << c.name;
    }
}

TEST(EncoderJob, RepeatedValuesSkipTheUiThread) {
    WorkerHarness h;
    const std::string command = h.command({kDuration5, "flood:1m:frame=1 time=00:00:02.00 bitrate=1\r",
                                           "sleep:20", "print:frame=2 time=00:00:03.00 bitrate=1\r"});
    ASSERT_EQ(h.run(command), kResultFailed);
    EXPECT_EQ(h.gauge.maxValue, 5);
    EXPECT_EQ(h.gauge.progress, 3) << "the last progress did not reach the gauge";
    EXPECT_LT(h.gauge.changes.size(), 10u) << "a megabyte of identical progress went to the UI thread";
}

// Progress that shows the same whole percentage as the last one sent stays
// off the UI thread; the next percentage gets there.
TEST(EncoderJob, ProgressWithinTheSamePercentageIsNotSent) {
    WorkerHarness h;
    const std::string command = h.command({"print:Input #0, avi, from 'a':\n  Duration: 00:16:40.00, start\n",
                                           "sleep:20", "print:frame=1 time=00:00:10.00 bitrate=1\r",
                                           "sleep:20", "print:frame=2 time=00:00:15.00 bitrate=1\r",
                                           "sleep:20", "print:frame=3 time=00:00:19.99 bitrate=1\r",
                                           "sleep:20", "print:frame=4 time=00:00:20.00 bitrate=1\r"});
    ASSERT_EQ(h.run(command), kResultFailed);
    const std::vector<std::pair<std::string, int>> expected = {
        {"max", 1000}, {"progress", 10}, {"progress", 20}};
    EXPECT_EQ(h.gauge.changes, expected);
}

// ffmpeg writes a line's tag and its message apart, and reads cut lines
// anywhere: each record is still one whole line.
TEST(EncoderJob, LogsHeaderCommandAndEveryLineWhole) {
    WorkerHarness h;
    const std::string command =
        h.command({"print:Input #0, avi, from 'clip.avi':\\n  Dura", "sleep:30",
                   "print:tion: 00:00:05.00, start: 0.000000\\n", "sleep:30", "print:frame=1\\r", "sleep:30",
                   "print:[out#0/mp4 @ 0x1] ", "sleep:30", "print:video:10kB audio:1kB\\n"});
    ASSERT_EQ(h.run(command), kResultCompleted);
    const std::string log = h.log();
    ASSERT_EQ(log.rfind(test::createdLogStart() + "■", 0), 0u) << log;
    const std::size_t headerEnd = log.find("■\r\n", 3);
    ASSERT_NE(headerEnd, std::string::npos);
    const std::string afterHeader = log.substr(headerEnd + std::string("■\r\n").size());
    EXPECT_EQ(afterHeader, command + "\r\n" + "Input #0, avi, from 'clip.avi':\r\n" +
                               "  Duration: 00:00:05.00, start: 0.000000\r\n" + "frame=1\r\n" +
                               "[out#0/mp4 @ 0x1] video:10kB audio:1kB\r\n");
}

// A runaway encoder's output fills its job's share of the log, then one
// record says the rest was left out; the next job is logged afresh.
TEST(EncoderJob, EachJobsOutputInTheLogIsBounded) {
    WorkerHarness h;
    const std::string flood = h.command({kDuration5, "flood:20m:frame=1 size=1kB\\r", "print:\\n", kSummary});
    ASSERT_EQ(h.run(flood), kResultCompleted);
    const std::string first = h.log();
    const std::string notice = std::string(texts::kLogOutputOmitted) + "\r\n";
    ASSERT_TRUE(first.ends_with("\r\n" + notice)) << "the last record";
    // Between the command line and the notice: the output's lines, each with its CR LF.
    const std::size_t start = first.find(flood + "\r\n") + flood.size() + 2;
    const std::size_t output = first.size() - notice.size() - start;
    EXPECT_LE(output, kLoggedOutputPerJob);
    EXPECT_GT(output, kLoggedOutputPerJob - 4096) << "the output before the bound was not all logged";

    ASSERT_EQ(h.run(h.command({kDuration5, kSummary})), kResultCompleted);
    EXPECT_NE(h.log().find("video:10kB", first.size()), std::string::npos) << "the next job was not logged";
}

TEST(EncoderJob, NothingIsLoggedWhenLoggingIsOffOrTheEncoderDoesNotStart) {
    WorkerHarness h;
    h.flags.logEnabled = false;
    EXPECT_EQ(h.run(h.command({"progress:1:1"})), kResultCompleted);
    h.flags.logEnabled = true;
    h.setEncoderPresent(false);
    EXPECT_EQ(h.run(h.command({})), kResultStartFailed);
    EXPECT_FALSE(std::filesystem::exists(h.paths.logFile));
}

TEST(EncoderJob, AnUnwritableLogDecidesNothing) {
    WorkerHarness h;
    // The first job of a process makes resources the system keeps (Windows
    // does so on the first start of a program): not the log's to leak.
    h.flags.logEnabled = false;
    ASSERT_EQ(h.run(h.command({"progress:1:1"})), kResultCompleted);
    h.flags.logEnabled = true;
    std::filesystem::create_directory(h.paths.logFile);  // neither opens nor creates
    const int descriptors = test::openDescriptorCount();
    EXPECT_EQ(h.run(h.command({"progress:2:1"})), kResultCompleted);
    EXPECT_EQ(h.gauge.progress, 2);
    EXPECT_EQ(test::openDescriptorCount(), descriptors);

    // Writable again: the next job is logged.
    std::filesystem::remove(h.paths.logFile);
    EXPECT_EQ(h.run(h.command({"progress:1:1"})), kResultCompleted);
    EXPECT_NE(h.log().find("video:"), std::string::npos);
}

TEST(EncoderJob, StopDuringProgressKillsTheEncoder) {
    WorkerHarness h;
    h.uiThread.onPass = [&] {
        if (h.gauge.progress >= 1) h.flags.stopRequested = true;
    };
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(h.run(h.command({"progress:100:50"})), kResultStopped);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST(EncoderJob, StopWithASilentEncoderEndsOnlyByTheKill) {
    WorkerHarness h;
    bool killed = false;
    std::optional<std::chrono::steady_clock::time_point> stopAt;
    h.uiThread.onPass = [&] {
        auto now = std::chrono::steady_clock::now();
        // The stop comes once the encoder has spoken, however long its start
        // took, so that the worker is in its read when it comes.
        if (!stopAt && h.gauge.maxValue == 5) stopAt = now + std::chrono::milliseconds(100);
        if (!stopAt || now < *stopAt) return;
        h.flags.stopRequested = true;
        // The silent encoder keeps the worker in its read for as long as it
        // lives; only the kill ends it.
        if (now > *stopAt + std::chrono::milliseconds(300) && !killed) {
            h.kill();
            killed = true;
        }
    };
    EXPECT_EQ(h.run(h.command({kDuration5, "hang"})), kResultStopped);
    EXPECT_TRUE(killed);
}

// The conversion may be complete on the encoder's word, but a stop that comes
// before the job has ended decides the job: it was stopped.
TEST(EncoderJob, AStopAfterTheClosingSummaryStillEndsAsStopped) {
    WorkerHarness h;
    h.uiThread.onPass = [&] {
        // The progress printed after the summary has arrived: so has the summary.
        if (h.gauge.progress == 4 && !h.flags.stopRequested) {
            h.flags.stopRequested = true;
            h.kill();  // as the watchdog would: this encoder stays silent
        }
    };
    EXPECT_EQ(h.run(h.command({kDuration5, kSummary, "print:frame=9 time=00:00:05.00\\r", "hang"})),
              kResultStopped);
    EXPECT_EQ(h.gauge.progress, 4) << "a stopped job's gauge was filled";
}

// The encoder closed its output but runs on: the worker waits for its end,
// and a stop must still end the job, as it does while the output is read.
TEST(EncoderJob, AStopEndsTheWaitForAnEncoderThatClosedItsOutput) {
    if (test::outputOutlivesItsClose())
        GTEST_SKIP() << "the encoder's console host keeps its output open until it ends: "
                        "the job ends by the stop watchdog's kill, as for a silent encoder";
    WorkerHarness h;
    const std::string pidFile = h.dir.file("encoder.pid");
    std::optional<std::chrono::steady_clock::time_point> outputClosed;
    bool rescued = false;
    h.uiThread.onPass = [&] {
        const auto now = std::chrono::steady_clock::now();
        if (!outputClosed) {
            if (std::filesystem::exists(pidFile)) outputClosed = now;
            return;
        }
        // The worker sees the pipe's end at once; this long after, it waits
        // for the encoder's end. (A stop seen earlier ends the job too.)
        if (now - *outputClosed > std::chrono::milliseconds(300)) h.flags.stopRequested = true;
        // Only a worker deaf to the stop is still there seconds later.
        if (now - *outputClosed > std::chrono::seconds(5) && !rescued) {
            rescued = true;
            h.kill();
        }
    };
    EXPECT_EQ(h.run(h.command({kDuration5, kSummary, "close-output", "pidfile:" + pidFile, "hang"})),
              kResultStopped);
    EXPECT_FALSE(rescued) << "the stop did not end the wait";
}

TEST(EncoderJob, AStopKillsAGrandchildHoldingThePipe) {
    WorkerHarness h;
    const std::string pidFile = h.dir.file("encoder.pid");
    h.uiThread.onPass = [&] {
        if (std::filesystem::exists(pidFile) && !h.flags.stopRequested) {
            int group = 0;
            std::ifstream(pidFile) >> group;
            if (group == 0) return;  // the file is still being written
            EXPECT_GT(test::livingProcessesInGroup(group), 0);
            h.flags.stopRequested = true;
            h.kill();
        }
    };
    // The encoder itself exits; its grandchild keeps the output open.
    EXPECT_EQ(h.run(h.command({"grandchild:60000", "pidfile:" + pidFile, "exit:0"})), kResultStopped);
    int group = 0;
    std::ifstream(pidFile) >> group;
    ASSERT_GT(group, 0);
    // The kill is delivered asynchronously: give it a moment.
    for (int tries = 0; tries < 100 && test::livingProcessesInGroup(group) > 0; ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(test::livingProcessesInGroup(group), 0) << "a process of the encoder's group survived";
}

TEST(EncoderJob, AnEncoderThatClosesItsOutputButRunsOnIsWaitedFor) {
    WorkerHarness h;
    const auto start = std::chrono::steady_clock::now();
    const long long cpuBefore = test::cpuMicroseconds();
    EXPECT_EQ(h.run(h.command({kDuration5, kSummary, "close-output", "sleep:400"})), kResultCompleted);
    const long long cpuAfter = test::cpuMicroseconds();
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(400));
    // Waiting for the end must not burn a core.
    EXPECT_LT(cpuAfter - cpuBefore, 150000);
}

TEST(EncoderJob, AGigabyteFloodIsDrainedWithBoundedMemory) {
    WorkerHarness h;
    h.flags.logEnabled = false;
    const long long peakBefore = test::peakMemoryKilobytes();
    EXPECT_EQ(
        h.run(h.command({kDuration5, "flood:1g:frame=1 fps=25 q=28.0 size=1kB\\r", "print:\\n", kSummary})),
        kResultCompleted);
    EXPECT_LT(test::peakMemoryKilobytes() - peakBefore, 32 * 1024) << "kilobytes of peak memory grew";
}

TEST(EncoderJob, FiveHundredJobsLeaveNothingBehind) {
    WorkerHarness h;
    h.flags.logEnabled = false;
    const std::string command = h.command({kDuration5, kSummary});
    ASSERT_EQ(h.run(command), kResultCompleted);  // warm up lazily made resources
    const int descriptors = test::openDescriptorCount();
    const int threads = test::threadCount();
    for (int job = 0; job < 500; ++job)
        ASSERT_EQ(h.run(command), kResultCompleted) << "job " << job << ": " << h.lastFailureReason;
    // A leak of one a job would show five hundred; the system may open one
    // or two of its own on the way (Wine does, now and then).
    EXPECT_LE(test::openDescriptorCount(), descriptors + 2);
    EXPECT_EQ(test::threadCount(), threads);
    EXPECT_EQ(test::childProcessCount(), 0);
}

}  // namespace
}  // namespace mirvane
