#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "engine/platform/platform.h"
#include "support/descriptor_count.h"
#include "support/temp_dir.h"

namespace mirvane::platform {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::vector<std::string> fake(std::vector<std::string> steps) {
    steps.insert(steps.begin(), MIRVANE_FAKE_ENCODER);
    return steps;
}

std::string readToEnd(EncoderProcess& process) {
    std::string output;
    char buffer[2048];
    std::ptrdiff_t got;
    while ((got = process.read(buffer, sizeof buffer)) > 0)
        output.append(buffer, static_cast<std::size_t>(got));
    return output;
}

// Starts, reads everything, closes: the engine's order of calls.
std::string runToEnd(const std::vector<std::string>& steps) {
    EncoderProcess process;
    const std::error_code error = process.start(fake(steps));
    EXPECT_FALSE(error) << error.message();
    process.closeWriteEnd();
    std::string output = readToEnd(process);
    process.close();
    return output;
}

// Gone, or dead and waiting for a reaper that is not this test.
bool processGone(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return true;
    const std::size_t close = line.rfind(')');
    return close == std::string::npos || close + 2 >= line.size() || line[close + 2] == 'Z' ||
           line[close + 2] == 'X';
}

// Table rows print as their names in failure messages.
template <typename Row>
requires requires(const Row& row) { row.name; }
void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }

bool waitUntil(const std::function<bool()>& condition, Clock::duration limit) {
    const auto deadline = Clock::now() + limit;
    while (!condition()) {
        if (Clock::now() > deadline) return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

int readPidFile(const std::string& path, Clock::duration limit) {
    int pid = 0;
    waitUntil([&] { return std::ifstream(path) >> pid && pid > 0; }, limit);
    return pid;
}

// A process of this test's own, outside any EncoderProcess, in a group it
// leads; it waits to be killed.
int startBystander() {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setpgid(0, 0);
        for (;;) ::pause();
    }
    ::setpgid(pid, pid);
    return pid;
}

bool stillRunning(int pid) { return ::waitpid(pid, nullptr, WNOHANG) == 0; }

void endBystander(int pid) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

TEST(EncoderProcessOutput, StandardOutputAndErrorArriveInOrderThroughOnePipe) {
    EXPECT_EQ(runToEnd({"print:out1 ", "sleep:20", "stderr:err1 ", "sleep:20", "print:out2"}),
              "out1 err1 out2");
}

TEST(EncoderProcessOutput, BytesPassUnchanged) {
    EXPECT_EQ(runToEnd({R"(print:a\0b\xff\r\n)"}), std::string("a\0b\xff\r\n", 6));
}

TEST(EncoderProcessOutput, LargeOutputIsReadToItsEnd) {
    EXPECT_EQ(runToEnd({"flood:8m", "print:END"}).size(), (8u << 20) + 3);
}

TEST(EncoderProcessOutput, ArgumentsArriveUnsplitAndUnchanged) {
    EncoderProcess process;
    ASSERT_FALSE(process.start({MIRVANE_ARGV_ECHO, "a b", "\"q\"", "", "C:\\x\\"}));
    process.closeWriteEnd();
    EXPECT_EQ(readToEnd(process), std::string("a b\0\"q\"\0\0C:\\x\\\0", 15));
    process.close();
}

struct StartFailure {
    const char* name;
    std::function<std::vector<std::string>(const TempDir&)> argv;
    std::errc expected;
};

class EncoderProcessStartFailure : public testing::TestWithParam<StartFailure> {};

TEST_P(EncoderProcessStartFailure, IsReportedByStartAndLeavesNothingBehind) {
    TempDir dir;
    const std::vector<std::string> argv = GetParam().argv(dir);
    const int descriptorsBefore = test::openDescriptorCount();

    EncoderProcess process;
    const std::error_code error = process.start(argv);

    EXPECT_EQ(error, GetParam().expected) << error.message();
    EXPECT_EQ(test::openDescriptorCount(), descriptorsBefore);
    EXPECT_EQ(test::childProcessCount(), 0);
    char buffer[16];
    EXPECT_EQ(process.read(buffer, sizeof buffer), -1);
    EXPECT_TRUE(process.hasEnded());
    EXPECT_FALSE(process.closeWriteEnd());
    process.kill();
    process.close();
}

std::string notExecutable(const TempDir& dir) {
    const std::string path = dir.write("encoder", "#!/bin/sh\necho hello\n");
    std::filesystem::permissions(path,
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    return path;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EncoderProcessStartFailure,
    testing::Values(
        StartFailure{"MissingProgram",
                     [](const TempDir& dir) { return std::vector<std::string>{dir.file("ffmpeg")}; },
                     std::errc::no_such_file_or_directory},
        StartFailure{"FileWithoutExecutePermission",
                     [](const TempDir& dir) { return std::vector<std::string>{notExecutable(dir)}; },
                     std::errc::permission_denied},
        StartFailure{"Directory", [](const TempDir& dir) { return std::vector<std::string>{dir.path()}; },
                     std::errc::permission_denied},
        StartFailure{"ScriptWithMissingInterpreter",
                     [](const TempDir& dir) {
                         const std::string path = dir.write("encoder", "#!/nonexistent/interpreter\n");
                         std::filesystem::permissions(path, std::filesystem::perms::owner_all);
                         return std::vector<std::string>{path};
                     },
                     std::errc::no_such_file_or_directory},
        StartFailure{"BareNameIsNotSearchedOnPath",
                     [](const TempDir&) {
                         return std::vector<std::string>{"sh", "-c", "true"};
                     },
                     std::errc::no_such_file_or_directory},
        StartFailure{"EmptyArgumentList", [](const TempDir&) { return std::vector<std::string>{}; },
                     std::errc::invalid_argument}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EncoderProcessStart, StandardInputIsTheNullDevice) {
    // Give this process a standard input with data in it, so that an
    // inherited one would show up as bytes read.
    const int savedInput = ::dup(STDIN_FILENO);
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    ASSERT_EQ(::write(pipeFds[1], "xyz", 3), 3);
    ::close(pipeFds[1]);
    ::dup2(pipeFds[0], STDIN_FILENO);
    ::close(pipeFds[0]);

    const std::string output = runToEnd({"read-stdin"});

    ::dup2(savedInput, STDIN_FILENO);
    ::close(savedInput);
    EXPECT_EQ(output, "stdin:0\n");
}

TEST(EncoderProcessStart, OnlyTheStandardDescriptorsAreInherited) {
    // Descriptors the rest of the program opened without O_CLOEXEC.
    const int carelessFile = ::open("/dev/null", O_RDONLY);
    int carelessPipe[2];
    ASSERT_EQ(::pipe(carelessPipe), 0);

    std::istringstream listing(runToEnd({"list-fds"}));

    ::close(carelessFile);
    ::close(carelessPipe[0]);
    ::close(carelessPipe[1]);
    std::string label, input, output, error, extra;
    listing >> label >> input >> output >> error;
    EXPECT_EQ(label, "fds:");
    EXPECT_EQ(input, "0=/dev/null");
    EXPECT_TRUE(output.starts_with("1=pipe:[")) << output;
    EXPECT_EQ(error, "2=" + output.substr(2)) << "standard error is not the output pipe";
    EXPECT_FALSE(listing >> extra) << "also inherited: " << extra;
}

TEST(EncoderProcessStart, SignalsAreNeitherIgnoredNorBlockedInTheChild) {
    sigset_t blocked, previousMask;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGUSR1);
    sigaddset(&blocked, SIGTERM);
    ::pthread_sigmask(SIG_BLOCK, &blocked, &previousMask);
    const auto previousPipe = std::signal(SIGPIPE, SIG_IGN);
    const auto previousHangup = std::signal(SIGHUP, SIG_IGN);

    const std::string output = runToEnd({"signals"});

    std::signal(SIGHUP, previousHangup);
    std::signal(SIGPIPE, previousPipe);
    ::pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
    EXPECT_EQ(output, "SigBlk:\t0000000000000000\nSigIgn:\t0000000000000000\n");
}

struct Ending {
    const char* name;
    std::vector<std::string> steps;
    std::string output;
};

class EncoderProcessEnding : public testing::TestWithParam<Ending> {};

TEST_P(EncoderProcessEnding, OutputIsReadAndTheChildReaped) {
    EncoderProcess process;
    ASSERT_FALSE(process.start(fake(GetParam().steps)));
    process.closeWriteEnd();
    EXPECT_EQ(readToEnd(process), GetParam().output);
    EXPECT_TRUE(waitUntil([&] { return process.hasEnded(); }, 5s));
    EXPECT_EQ(test::childProcessCount(), 0);
    process.close();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EncoderProcessEnding,
    testing::Values(
        Ending{"ExitZero", {"print:done", "exit:0"}, "done"},
        Ending{"ExitCode", {"print:failed", "exit:3"}, "failed"},
        Ending{"Segfault", {"print:before", "crash:11", "print:after"}, "before"},
        Ending{"Abort", {"stderr:before", "crash:6", "print:after"}, "before"},
        Ending{"ClosesOutputThenRuns", {"print:early", "close-output", "sleep:200", "exit:0"}, "early"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EncoderProcessEnd, HasEndedIsFalseWhileRunningAndTrueOnceEnded) {
    EncoderProcess process;
    EXPECT_TRUE(process.hasEnded()) << "nothing started";
    ASSERT_FALSE(process.start(fake({"sleep:300", "exit:0"})));
    EXPECT_FALSE(process.hasEnded());
    EXPECT_TRUE(waitUntil([&] { return process.hasEnded(); }, 5s));
    EXPECT_EQ(test::childProcessCount(), 0) << "hasEnded did not reap";
    EXPECT_TRUE(process.hasEnded());
    process.close();
}

TEST(EncoderProcessEnd, WaitForEndReturnsWhenTheChildEndsOrTheTimeIsUp) {
    EncoderProcess process;
    ASSERT_FALSE(process.start(fake({"sleep:150", "exit:0"})));
    auto started = Clock::now();
    EXPECT_FALSE(process.waitForEnd(50ms));
    EXPECT_GE(Clock::now() - started, 45ms);
    // The end wakes the wait at once, long before the time is up.
    EXPECT_TRUE(process.waitForEnd(5s));
    EXPECT_LT(Clock::now() - started, 400ms);
    EXPECT_EQ(test::childProcessCount(), 0) << "waitForEnd did not reap";
    EXPECT_TRUE(process.waitForEnd(0ms));
    process.close();
}

TEST(EncoderProcessEnd, CloseWaitsForTheChildAndReapsIt) {
    EncoderProcess process;
    const auto started = Clock::now();
    ASSERT_FALSE(process.start(fake({"sleep:300", "exit:0"})));
    process.close();
    EXPECT_GE(Clock::now() - started, 250ms);
    EXPECT_EQ(test::childProcessCount(), 0);
}

TEST(EncoderProcessEnd, DestructorKillsARunningChildAndReapsIt) {
    TempDir dir;
    const int descriptorsBefore = test::openDescriptorCount();
    int pid;
    {
        EncoderProcess process;
        ASSERT_FALSE(process.start(fake({"pidfile:" + dir.file("pid"), "hang"})));
        pid = readPidFile(dir.file("pid"), 5s);
        ASSERT_GT(pid, 0);
    }
    EXPECT_TRUE(processGone(pid));
    EXPECT_EQ(test::childProcessCount(), 0);
    EXPECT_EQ(test::openDescriptorCount(), descriptorsBefore);
}

// Scripts whose output pipe stays open until something kills them; each
// prints "ready" once it has carried out its setup steps.
struct Stubborn {
    const char* name;
    std::vector<std::string> steps;
};

class EncoderProcessKill : public testing::TestWithParam<Stubborn> {};

TEST_P(EncoderProcessKill, FromAnotherThreadEndsTheBlockedRead) {
    TempDir dir;
    std::vector<std::string> steps = GetParam().steps;
    steps.insert(steps.begin(), "pidfile:" + dir.file("pid"));
    EncoderProcess process;
    ASSERT_FALSE(process.start(fake(steps)));
    process.closeWriteEnd();

    std::atomic<bool> ready = false;
    std::atomic<bool> ended = false;
    std::thread worker([&] {
        char buffer[64];
        std::string output;
        std::ptrdiff_t got;
        while ((got = process.read(buffer, sizeof buffer)) > 0) {
            if (ready) continue;
            output.append(buffer, static_cast<std::size_t>(got));
            ready = output.find("ready") != std::string::npos;
        }
        ended = true;
    });
    const int pid = readPidFile(dir.file("pid"), 5s);
    EXPECT_TRUE(waitUntil([&] { return ready.load(); }, 5s));
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(ended) << "the read ended before the kill";

    process.kill();

    const bool unblocked = waitUntil([&] { return ended.load(); }, 3s);
    EXPECT_TRUE(unblocked) << "the read is still blocked after the kill";
    if (!unblocked) ::kill(-pid, SIGKILL);  // so that the test itself can end
    worker.join();
    EXPECT_TRUE(waitUntil([&] { return process.hasEnded(); }, 3s));
    process.close();
    EXPECT_EQ(test::childProcessCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EncoderProcessKill,
    testing::Values(Stubborn{"SilentEncoder", {"print:ready", "hang"}},
                    Stubborn{"IgnoresTermination", {"ignore-term", "print:ready", "hang"}},
                    Stubborn{"GrandchildOfARunningEncoder", {"grandchild:20000", "print:ready", "hang"}},
                    Stubborn{"GrandchildOfAnEncoderThatHasExited",
                             {"grandchild:20000", "print:ready", "exit:0"}},
                    Stubborn{"FloodingEncoder", {"print:ready", "flood:100g"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EncoderProcessKillGuard, KillDoesNotWaitWhileCloseWaitsForTheChild) {
    TempDir dir;
    EncoderProcess process;
    ASSERT_FALSE(process.start(fake({"pidfile:" + dir.file("pid"), "hang"})));
    const int pid = readPidFile(dir.file("pid"), 5s);
    std::atomic<bool> closed = false;
    std::thread worker([&] {
        process.close();
        closed = true;
    });
    std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(closed) << "close did not wait for the child";
    std::atomic<bool> killed = false;
    std::thread stopper([&] {
        process.kill();
        killed = true;
    });

    const bool ended = waitUntil([&] { return killed && closed; }, 3s);
    EXPECT_TRUE(ended) << "the kill waited for the child it was meant to end";
    if (!ended) ::kill(pid, SIGKILL);  // so that the test itself can end
    stopper.join();
    worker.join();
    EXPECT_EQ(test::childProcessCount(), 0);
}

TEST(EncoderProcessKillGuard, KillAfterTheReapSignalsNobody) {
    EncoderProcess process;
    ASSERT_FALSE(process.start(fake({"exit:0"})));
    ASSERT_TRUE(waitUntil([&] { return process.hasEnded(); }, 5s));
    const int bystander = startBystander();

    process.kill();
    process.close();
    process.kill();

    std::this_thread::sleep_for(100ms);
    EXPECT_TRUE(stillRunning(bystander));
    endBystander(bystander);
}

// Makes the next new process of this pid namespace get the given id; false
// when the system does not allow it (no privilege) or another process took it.
int forkWithPid(int wanted) {
    for (int attempt = 0; attempt < 50; ++attempt) {
        std::ofstream lastPid("/proc/sys/kernel/ns_last_pid");
        if (!(lastPid << (wanted - 1) << std::flush)) return 0;
        lastPid.close();
        const int pid = startBystander();
        if (pid == wanted) return pid;
        endBystander(pid);
    }
    return 0;
}

struct Reap {
    const char* name;
    bool byHasEnded;
};

class EncoderProcessReusedId : public testing::TestWithParam<Reap> {};

TEST_P(EncoderProcessReusedId, KillNeverReachesTheProcessThatReusedIt) {
    TempDir dir;
    EncoderProcess process;
    ASSERT_FALSE(process.start(fake({"pidfile:" + dir.file("pid"), "exit:0"})));
    const int pid = readPidFile(dir.file("pid"), 5s);
    ASSERT_GT(pid, 0);
    process.closeWriteEnd();
    readToEnd(process);
    if (GetParam().byHasEnded) {
        ASSERT_TRUE(waitUntil([&] { return process.hasEnded(); }, 5s));
    } else {
        process.close();
    }

    // The new process leads a group with the old id, so both a kill of the
    // old pid and of its group would reach it.
    const int reuser = forkWithPid(pid);
    if (reuser == 0) GTEST_SKIP() << "cannot choose the id of a new process here";
    process.kill();

    std::this_thread::sleep_for(100ms);
    const bool survived = stillRunning(reuser);
    endBystander(reuser);
    EXPECT_TRUE(survived);
    process.close();
}

INSTANTIATE_TEST_SUITE_P(Cases, EncoderProcessReusedId,
                         testing::Values(Reap{"ReapedByHasEnded", true}, Reap{"ReapedByClose", false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(EncoderProcessResources, FiveHundredRunsLeaveNoDescriptorOrChildBehind) {
    const std::vector<std::vector<std::string>> scripts = {
        fake({"print:frame=1\r", "stderr:video:1kB\n"}),
        fake({"stderr:Error opening input\n", "exit:1"}),
        fake({"crash:9"}),
        {"/nonexistent/ffmpeg"},
    };
    const int descriptorsBefore = test::openDescriptorCount();
    for (int run = 0; run < 500; ++run) {
        const std::vector<std::string>& argv = scripts[run % scripts.size()];
        EncoderProcess process;
        if (!process.start(argv)) {
            process.closeWriteEnd();
            readToEnd(process);
        }
        process.close();
    }
    EXPECT_EQ(test::openDescriptorCount(), descriptorsBefore);
    EXPECT_EQ(test::childProcessCount(), 0);
    errno = 0;
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

// A stand-in for the whole program: a child of the test that starts an
// encoder (from its main thread or from a worker thread, as the engine does)
// and is then killed with SIGKILL.
struct Launch {
    const char* name;
    bool fromWorkerThread;
};

class EncoderProcessOrphan : public testing::TestWithParam<Launch> {};

TEST_P(EncoderProcessOrphan, EncoderDiesWithTheProgram) {
    TempDir dir;
    const std::string pidFile = dir.file("pid");
    const bool fromWorkerThread = GetParam().fromWorkerThread;
    const pid_t program = ::fork();
    ASSERT_GE(program, 0);
    if (program == 0) {
        auto run = [&] {
            EncoderProcess process;
            if (process.start(fake({"pidfile:" + pidFile, "hang"}))) ::_exit(1);
            process.closeWriteEnd();
            readToEnd(process);
        };
        if (fromWorkerThread) {
            std::thread(run).join();
        } else {
            run();
        }
        ::_exit(0);
    }

    const int encoder = readPidFile(pidFile, 5s);
    ASSERT_GT(encoder, 0);
    EXPECT_FALSE(processGone(encoder));
    ::kill(program, SIGKILL);
    ::waitpid(program, nullptr, 0);

    const bool gone = waitUntil([&] { return processGone(encoder); }, 1s);
    EXPECT_TRUE(gone) << "the encoder outlived the program";
    if (!gone) ::kill(encoder, SIGKILL);
}

INSTANTIATE_TEST_SUITE_P(Cases, EncoderProcessOrphan,
                         testing::Values(Launch{"StartedOnTheMainThread", false},
                                         Launch{"StartedOnAWorkerThread", true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace mirvane::platform
