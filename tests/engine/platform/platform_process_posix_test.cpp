#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "engine/formats/command_line.h"
#include "engine/platform/files.h"
#include "engine/platform/process.h"
#include "support/descriptor_count.h"
#include "support/encoder_runs.h"
#include "support/temp_dir.h"

namespace mirvane::platform {
namespace {

using test::groupGone;
using test::readPidFile;
using test::readToEnd;
using test::runToEnd;
using test::waitUntil;

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(EncoderProcess, ChildGetsTheNullDeviceOnePipeAndDefaultSignalsOnly) {
    // What the rest of the program may hold: descriptors opened without
    // O_CLOEXEC, a standard input with data, signals blocked and ignored.
    const int carelessFile = ::open("/dev/null", O_RDONLY);
    int carelessPipe[2];
    ASSERT_EQ(::pipe(carelessPipe), 0);
    ASSERT_EQ(::write(carelessPipe[1], "xyz", 3), 3);
    const int savedInput = ::dup(STDIN_FILENO);
    ::dup2(carelessPipe[0], STDIN_FILENO);
    sigset_t blocked, previousMask;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGTERM);
    ::pthread_sigmask(SIG_BLOCK, &blocked, &previousMask);
    const auto previousPipe = std::signal(SIGPIPE, SIG_IGN);

    const std::string output = runToEnd({"list-fds", "signals"});

    std::signal(SIGPIPE, previousPipe);
    ::pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
    ::dup2(savedInput, STDIN_FILENO);
    for (const int fd : {savedInput, carelessFile, carelessPipe[0], carelessPipe[1]}) ::close(fd);
    EXPECT_TRUE(std::regex_match(
        output, std::regex("fds: 0=/dev/null 1=(pipe:\\[\\d+\\]) 2=\\1\nSigBlk:\t0+\nSigIgn:\t0+\n")))
        << output;
}

TEST(EncoderProcess, KillFromAnotherThreadEndsTheWholeGroupAndTheBlockedRead) {
    TempDir dir;
    struct Row {
        const char* name;
        std::vector<std::string> steps;  // print "ready" once set up, then keep the pipe open
    };
    const Row rows[] = {
        {"silent encoder", {"print:ready", "hang"}},
        {"encoder that ignores termination", {"ignore-term", "print:ready", "hang"}},
        {"grandchild of a running encoder", {"grandchild:20000", "print:ready", "hang"}},
        {"grandchild of an encoder that has exited", {"grandchild:20000", "print:ready", "exit:0"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<std::string> steps = row.steps;
        steps.insert(steps.begin(), "pidfile:" + dir.file(row.name));
        EncoderProcess process;
        ASSERT_FALSE(process.start(MIRVANE_FAKE_ENCODER, test::fakeCommand(steps)));
        process.closeWriteEnd();
        const int pid = readPidFile(dir.file(row.name));
        char buffer[16];
        const std::ptrdiff_t got = process.read(buffer, sizeof buffer);
        ASSERT_EQ(std::string(buffer, got > 0 ? static_cast<std::size_t>(got) : 0), "ready");

        std::atomic<bool> readEnded = false;
        std::atomic<bool> rescued = false;
        std::thread stopper([&] {
            process.kill();
            // Lets the test end when the kill missed.
            if (!waitUntil([&] { return readEnded.load(); }, 3s)) rescued = ::kill(-pid, SIGKILL) == 0;
        });
        readToEnd(process);
        readEnded = true;
        stopper.join();
        EXPECT_FALSE(rescued);
        EXPECT_TRUE(groupGone(pid));
    }
}

// A process of this test's own with the given id, leading a group of that id;
// 0 when the system does not allow choosing the id.
int bystanderWithPid(int wanted) {
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (!(std::ofstream("/proc/sys/kernel/ns_last_pid") << (wanted - 1) << std::flush)) return 0;
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::setpgid(0, 0);
            for (;;) ::pause();
        }
        ::setpgid(pid, pid);
        if (pid == wanted) return pid;
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
    return 0;
}

TEST(EncoderProcess, KillAfterTheReapNeverReachesAProcessThatReusedTheId) {
    TempDir dir;
    for (const bool reapByHasEnded : {true, false}) {
        SCOPED_TRACE(reapByHasEnded ? "reaped by hasEnded" : "reaped by close");
        EncoderProcess process;
        ASSERT_FALSE(
            process.start(MIRVANE_FAKE_ENCODER, test::fakeCommand({"pidfile:" + dir.file("pid"), "exit:0"})));
        process.closeWriteEnd();
        readToEnd(process);
        const int pid = readPidFile(dir.file("pid"));
        if (reapByHasEnded) {
            ASSERT_TRUE(waitUntil([&] { return process.hasEnded(); }, 5s));
        } else {
            process.close();
        }
        std::filesystem::remove(dir.file("pid"));
        // It leads a group of the old id: a kill of the pid or of the group reaches it.
        const int reuser = bystanderWithPid(pid);
        if (reuser == 0) GTEST_SKIP() << "cannot choose the id of a new process here";
        process.kill();
        std::this_thread::sleep_for(100ms);
        EXPECT_EQ(::waitpid(reuser, nullptr, WNOHANG), 0) << "the kill reached it";
        ::kill(reuser, SIGKILL);
        ::waitpid(reuser, nullptr, 0);
    }
}

TEST(EncoderProcess, FiveHundredRunsLeaveNoDescriptorOrChildBehind) {
    const std::pair<std::string, std::string> scripts[] = {
        {MIRVANE_FAKE_ENCODER, test::fakeCommand({"print:frame=1\r", "stderr:video:1kB\n"})},
        {MIRVANE_FAKE_ENCODER, test::fakeCommand({"crash:9"})},
        {"/nonexistent/ffmpeg", "/nonexistent/ffmpeg -y"},
    };
    const int descriptorsBefore = test::openDescriptorCount();
    for (int run = 0; run < 500; ++run) {
        EncoderProcess process;
        const auto& [program, commandLine] = scripts[run % 3];
        if (!process.start(program, commandLine)) {
            process.closeWriteEnd();
            readToEnd(process);
        }
        process.close();
    }
    EXPECT_EQ(test::openDescriptorCount(), descriptorsBefore);
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1) << "a child is left";
}

// Whatever the encoder started goes with it: ffmpeg behind a wrapper script,
// or a child of the encoder's own, would otherwise run on after the program
// died, since only the encoder itself gets the parent-death signal. That
// signal still ends the encoder even without the guard that kills the rest.
TEST(EncoderProcess, EncoderAndEverythingItStartedDieWithTheProgramKilledWithSigkill) {
    TempDir dir;
    const std::string wrapper =
        dir.write("ffmpeg", std::string("#!/bin/sh\n\"") + MIRVANE_FAKE_ENCODER + "\" \"$@\"\nexit $?\n");
    std::filesystem::permissions(wrapper, std::filesystem::perms::owner_all);
    struct Row {
        const char* name;
        bool fromWorkerThread;
        std::vector<std::string> steps;
        std::string program = MIRVANE_FAKE_ENCODER;
        bool killGuardFirst = false;
    };
    const Row rows[] = {
        {"started on the main thread", false, {"hang"}},
        {"started on a worker thread", true, {"hang"}},
        {"a grandchild of the encoder", true, {"grandchild:20000", "hang"}},
        {"ffmpeg behind a wrapper script", true, {"hang"}, wrapper},
        {"the guard killed first", true, {"hang"}, MIRVANE_FAKE_ENCODER, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string pidFile = dir.file(row.name);
        std::vector<std::string> steps = row.steps;
        steps.insert(steps.begin(), "pidfile:" + pidFile);
        const std::string commandLine = test::fakeCommand(steps, row.program);
        // A stand-in for the whole program, started as the engine starts encoders.
        const pid_t program = ::fork();
        ASSERT_GE(program, 0);
        if (program == 0) {
            auto run = [&] {
                EncoderProcess process;
                if (process.start(row.program, commandLine)) ::_exit(1);
                process.closeWriteEnd();
                readToEnd(process);
            };
            row.fromWorkerThread ? std::thread(run).join() : run();
            ::_exit(0);
        }
        const int fake = readPidFile(pidFile);
        ASSERT_GT(fake, 0);
        const int group = ::getpgid(fake);
        ASSERT_GT(group, 0);
        if (row.killGuardFirst) {
            // The guard is the one process of the group that is no encoder;
            // it joins the group a moment after the encoder may have written
            // its pid. A failure here must still reach the clean-up below,
            // or the stand-in and its encoder would hold the test run open.
            std::vector<int> members;
            EXPECT_TRUE(
                waitUntil([&] { return (members = test::livingProcessIdsInGroup(group)).size() == 2; }, 5s))
                << members.size() << " processes in the group";
            for (const int member : members) {
                if (member != fake) ::kill(member, SIGKILL);
            }
            EXPECT_TRUE(waitUntil([&] { return test::livingProcessesInGroup(group) == 1; }, 5s));
        }
        ::kill(program, SIGKILL);
        ::waitpid(program, nullptr, 0);
        const bool gone = groupGone(group);
        EXPECT_TRUE(gone) << test::livingProcessesInGroup(group)
                          << " of the encoder's processes outlived the program";
        if (!gone) ::kill(-group, SIGKILL);
    }
}

}  // namespace
}  // namespace mirvane::platform
