// What the encoder's process does on every system.

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "engine/platform/process.h"
#include "support/descriptor_count.h"
#include "support/encoder_runs.h"
#include "support/temp_dir.h"

namespace mirvane::platform {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::fakeCommand;
using test::runToEnd;
using test::waitUntil;

TEST(EncoderProcess, OutputAndErrorArriveUnchangedAndInOrderThroughOnePipe) {
    // Arguments are text, so the byte that is no UTF-8 goes as an escape.
    EXPECT_EQ(runToEnd({"print:out\\0\\xff\r\n", "sleep:20", "stderr:err ", "sleep:20", "print:out2"}),
              std::string("out\0\xff\r\nerr out2", 15));
}

TEST(EncoderProcess, StartFailuresAreReportedByStartAndLeaveNothingBehind) {
    TempDir dir;
    struct Row {
        const char* name;
        std::string program;
        std::string commandLine;
        std::errc expected;
    };
    const Row rows[] = {
        {"missing program", dir.file("ffmpeg"), dir.file("ffmpeg") + " -y",
         std::errc::no_such_file_or_directory},
        {"a bare name is not searched on PATH", "sh", "sh -c true", std::errc::no_such_file_or_directory},
        {"no program", "", "", std::errc::invalid_argument},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const int descriptorsBefore = test::openDescriptorCount();
        EncoderProcess process;
        EXPECT_EQ(process.start(row.program, row.commandLine), row.expected);
        EXPECT_EQ(test::openDescriptorCount(), descriptorsBefore);
        EXPECT_EQ(test::childProcessCount(), 0);
        EXPECT_FALSE(process.closeWriteEnd());
        char buffer[16];
        EXPECT_EQ(process.read(buffer, sizeof buffer), -1);
        EXPECT_TRUE(process.hasEnded());
        process.kill();
        process.close();
    }
}

TEST(EncoderProcess, HasEndedAndWaitForEndReapTheChildOnceItEnds) {
    EncoderProcess process;
    ASSERT_FALSE(process.start(MIRVANE_FAKE_ENCODER, fakeCommand({"sleep:200"})));
    const auto started = Clock::now();
    EXPECT_FALSE(process.hasEnded());
    EXPECT_FALSE(process.waitForEnd(50ms));
    EXPECT_GE(Clock::now() - started, 45ms);
    EXPECT_TRUE(process.waitForEnd(5s));
    // Well short of the five seconds, with room for a slow start of the child
    // (Wine takes a few hundred milliseconds under load).
    EXPECT_LT(Clock::now() - started, 2s) << "the end did not wake the wait";
    EXPECT_EQ(test::childProcessCount(), 0);
}

// What the encoder left running when it ended by itself ends with the run.
TEST(EncoderProcess, AChildTheEncoderLeftRunningEndsWithTheRun) {
    TempDir dir;
    EncoderProcess process;
    ASSERT_FALSE(process.start(MIRVANE_FAKE_ENCODER, fakeCommand({"pidfile:" + dir.file("encoder"),
                                                                  "background:20000:" + dir.file("child")})));
    process.closeWriteEnd();
    test::readToEnd(process);
    ASSERT_GT(test::readPidFile(dir.file("child")), 0) << "the child did not start";
    // The engine's order: the end is seen, then the run is closed.
    ASSERT_TRUE(waitUntil([&] { return process.hasEnded(); }, 5s));
    process.close();
    EXPECT_TRUE(test::groupGone(test::readPidFile(dir.file("encoder")))) << "the child outlived the run";
}

TEST(EncoderProcess, CloseWaitsForTheChildButTheDestructorKillsIt) {
    auto started = Clock::now();
    {
        EncoderProcess process;
        ASSERT_FALSE(process.start(MIRVANE_FAKE_ENCODER, fakeCommand({"sleep:300"})));
        process.close();
    }
    EXPECT_GE(Clock::now() - started, 250ms);
    started = Clock::now();
    {
        EncoderProcess process;
        ASSERT_FALSE(process.start(MIRVANE_FAKE_ENCODER, fakeCommand({"sleep:3000"})));
    }
    EXPECT_LT(Clock::now() - started, 1500ms) << "the destructor waited for the child";
    EXPECT_EQ(test::childProcessCount(), 0);
}

TEST(EncoderProcess, KillDoesNotWaitWhileCloseWaitsForTheChild) {
    EncoderProcess process;
    ASSERT_FALSE(process.start(MIRVANE_FAKE_ENCODER, fakeCommand({"sleep:3000"})));
    std::atomic<bool> closed = false;
    std::thread worker([&] {
        process.close();
        closed = true;
    });
    std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(closed) << "close did not wait for the child";
    std::thread stopper([&] { process.kill(); });
    EXPECT_TRUE(waitUntil([&] { return closed.load(); }, 2s)) << "the kill waited for the child";
    stopper.join();
    worker.join();
}

}  // namespace
}  // namespace mirvane::platform
