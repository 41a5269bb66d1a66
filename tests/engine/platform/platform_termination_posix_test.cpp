// The requests to end that the system sends as signals.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/platform/termination.h"
#include "support/encoder_runs.h"
#include "support/temp_dir.h"

namespace mirvane {
namespace {

using namespace std::chrono_literals;

// Under nohup a closed terminal must not end the program.
TEST(TerminationRequests, AnIgnoredHangupStaysIgnored) {
    ASSERT_NE(::signal(SIGHUP, SIG_IGN), SIG_ERR);
    ASSERT_GE(platform::catchTerminationRequests(), 0);
    ::raise(SIGHUP);
    EXPECT_FALSE(platform::takeTerminationRequests());
}

// A kill, a logout or a shutdown (SIGTERM), the terminal closing (SIGHUP) and
// Ctrl+C (SIGINT), sent together in mid-job: any one not caught would end
// the engine by itself; caught, they end it as a close would, with nothing
// left beside the input.
TEST(TerminationRequests, SignalsEndTheEngineAsACloseWould) {
    const TempDir program;
    const TempDir inputs;
    program.write("MovieSet.ini",
                  "[List]\nListTitle00=Runs on\nListOption00=hang -i %INPFILE %OUTFILE\nListExt00=.mp4\n");
    std::filesystem::create_directory(program.file("ffmpeg"));
    std::filesystem::copy_file(MIRVANE_FAKE_ENCODER, program.file("ffmpeg/ffmpeg"));
    const std::string input = inputs.write("a.avi", "");
    const pid_t host = ::fork();
    if (host == 0) {
        // As from a terminal, whatever this test was started from.
        ::signal(SIGINT, SIG_DFL);
        ::signal(SIGHUP, SIG_DFL);
        ::execl(MIRVANE_BATCH_HOST, "batch_host", program.path().c_str(), "run", input.c_str(), nullptr);
        ::_exit(127);
    }
    ASSERT_TRUE(test::waitUntil([&] { return std::filesystem::exists(inputs.file("a (変換中).mp4")); }, 10s));
    for (const int signal : {SIGHUP, SIGINT, SIGTERM}) ::kill(host, signal);
    int status = 0;
    if (!test::waitUntil([&] { return ::waitpid(host, &status, WNOHANG) == host; }, 10s)) {
        ::kill(host, SIGKILL);
        ::waitpid(host, &status, 0);
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(inputs.path()), {}), 1) << "working file";
}

}  // namespace
}  // namespace mirvane
