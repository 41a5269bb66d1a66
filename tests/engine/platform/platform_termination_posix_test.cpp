// The requests to end that the system sends as signals: caught without
// ending the process, each waking the UI thread's descriptor; and the engine
// without a window, sent one in mid-job, ends as a close would but keeps the
// list for its next start.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <poll.h>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <thread>

#include "engine/platform/termination.h"
#include "support/encoder_runs.h"
#include "support/temp_dir.h"

namespace mirvane {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

bool readable(int descriptor) {
    pollfd ready{descriptor, POLLIN, 0};
    return ::poll(&ready, 1, 1000) == 1;
}

// Under nohup SIGHUP is ignored, and stays so; the others are caught from any
// thread, and the code they interrupt finds errno as it left it.
TEST(TerminationRequests, EachSignalWakesTheDescriptorAndNoneEndsTheProcess) {
    // As from a terminal; a shell's background job would have SIGINT ignored.
    ASSERT_NE(::signal(SIGINT, SIG_DFL), SIG_ERR);
    ASSERT_NE(::signal(SIGHUP, SIG_IGN), SIG_ERR);
    const int requests = platform::catchTerminationRequests();
    ASSERT_GE(requests, 0);
    EXPECT_EQ(platform::catchTerminationRequests(), requests) << "caught once";
    const struct {
        int signal;
        bool caught;
    } rows[] = {{SIGTERM, true}, {SIGINT, true}, {SIGHUP, false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(::strsignal(row.signal));
        std::thread([&] { ::kill(::getpid(), row.signal); }).join();
        errno = EDOM;
        ::raise(row.signal);
        EXPECT_EQ(errno, EDOM);
        EXPECT_EQ(readable(requests), row.caught);
        EXPECT_EQ(platform::takeTerminationRequests(), row.caught);
        EXPECT_FALSE(platform::takeTerminationRequests()) << "all taken at once";
    }
    ::signal(SIGHUP, SIG_DFL);
}

pid_t start(const std::vector<std::string>& arguments) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        // As from a terminal, whatever this test was started from.
        ::signal(SIGINT, SIG_DFL);
        ::signal(SIGHUP, SIG_DFL);
        std::vector<char*> argv;
        for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        ::execv(MIRVANE_BATCH_HOST, argv.data());
        ::_exit(127);
    }
    return pid;
}

std::string output(const std::string& command) {
    std::string text;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, pipe)) text += buffer;
        ::pclose(pipe);
    }
    return text;
}

// `kill`, a logout or a shutdown (SIGTERM), the terminal closed (SIGHUP),
// Ctrl+C (SIGINT) while an encoder that would never end runs: the program
// ends by itself within the stop's watchdog, nothing is left beside the
// inputs, the encoder is gone, and the next start finds every row pending.
class EndedBySignal : public testing::TestWithParam<int> {};

TEST_P(EndedBySignal, LeavesTheFolderAsItWasAndTheListForTheNextStart) {
    const TempDir program;
    const TempDir inputs;
    const std::string pidFile = inputs.file("encoder.pid");
    program.write("MovieSet.ini", "[List]\nListTitle00=Runs on\nListOption00=pidfile:" + pidFile +
                                      " hang -i %INPFILE %OUTFILE\nListExt00=.mp4\n");
    fs::create_directory(program.file("ffmpeg"));
    fs::copy_file(MIRVANE_FAKE_ENCODER, program.file("ffmpeg/ffmpeg"));
    const std::string a = inputs.write("a.avi", "");
    const std::string b = inputs.write("b.avi", "");

    const pid_t host = start({"batch_host", program.path(), "run", a, b});
    ASSERT_TRUE(test::waitUntil([&] { return fs::exists(inputs.file("a (変換中).mp4")); }, 10s));
    const int encoder = test::readPidFile(pidFile);
    ASSERT_GT(encoder, 0);
    const auto sent = std::chrono::steady_clock::now();
    ::kill(host, GetParam());
    int status = 0;
    const bool ended = test::waitUntil([&] { return ::waitpid(host, &status, WNOHANG) == host; }, 10s);
    const auto took = std::chrono::steady_clock::now() - sent;
    if (!ended) {
        ::kill(host, SIGKILL);
        ::waitpid(host, &status, 0);
        FAIL() << "still running";
    }

    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "ended by the signal: " << status;
    EXPECT_LT(took, 2500ms + 2s);
    EXPECT_TRUE(test::groupGone(encoder));
    std::vector<std::string> left;
    for (const fs::directory_entry& entry : fs::directory_iterator(inputs.path()))
        left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"a.avi", "b.avi", "encoder.pid"}));
    EXPECT_EQ(output(std::string(MIRVANE_BATCH_HOST) + " '" + program.path() + "' restore"),
              "0 " + a + "\n0 " + b + "\n");
}

INSTANTIATE_TEST_SUITE_P(Signals, EndedBySignal, testing::Values(SIGTERM, SIGHUP, SIGINT),
                         [](const auto& info) { return std::string(::sigabbrev_np(info.param)); });

}  // namespace
}  // namespace mirvane
