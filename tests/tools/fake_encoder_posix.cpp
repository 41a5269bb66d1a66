// Plays the encoder's part in tests. Every argument of the form NAME or
// NAME:VALUE whose NAME is a step below is carried out in order; any other
// argument (ffmpeg options, file names) is ignored, so the program can be
// started through a full encoder command line. Exits 0 after the last step.
// The steps both systems share are read in fake_encoder_script.cpp; this file
// does what needs the system.
//
//   print:TEXT        TEXT to standard output in one write
//   stderr:TEXT       TEXT to standard error in one write
//                     (TEXT escapes: \n \r \0 \xHH; other bytes pass as they are)
//   sleep:MS          pause
//   exit:CODE         exit at once with CODE
//   crash:SIG         die on signal SIG
//   hang              sleep forever, printing nothing
//   ignore-term       ignore SIGTERM and SIGINT
//   flood:BYTES[:LINE]  BYTES bytes of repeated progress lines (or of LINE)
//                     in large writes; BYTES may end in k, m or g
//   grandchild:MS[:PIDFILE]  start a process in the same group that inherits
//                     the output, writes its id to PIDFILE and sleeps MS
//   background:MS:PIDFILE  start a process in the same group that holds none
//                     of the output, writes its id to PIDFILE and sleeps MS
//   close-output      close standard output and standard error, go on
//   pidfile:PATH      write the own process id to PATH
//   progress:SECONDS:INTERVAL_MS  an input header with its Duration, one time= line per second
//                     of input every INTERVAL_MS, then the closing summary
//   list-fds          print "fds:" and each open descriptor as
//                     " N=TARGET", then "\n"
//   signals           print the SigBlk and SigIgn lines of /proc/self/status

#include "tools/fake_encoder_script.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

using mirvane::test::Stream;

void writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t written = ::write(fd, data.data(), data.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return;  // output closed or broken: the script goes on regardless
        }
        data.remove_prefix(static_cast<std::size_t>(written));
    }
}

void sleepFor(long long ms) {
    timespec left{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (::nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

void listFds() {
    std::vector<int> fds;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        fds.push_back(std::stoi(entry.path().filename()));
    std::sort(fds.begin(), fds.end());
    std::string text = "fds:";
    for (const int fd : fds) {
        // The listing's own descriptor is closed by now and gives an error.
        std::error_code error;
        const auto target = std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd), error);
        if (!error) text += " " + std::to_string(fd) + "=" + target.string();
    }
    writeAll(STDOUT_FILENO, text + "\n");
}

void printSignalMasks() {
    std::ifstream status("/proc/self/status");
    std::string text;
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("SigBlk:") || line.starts_with("SigIgn:")) text += line + "\n";
    }
    writeAll(STDOUT_FILENO, text);
}

class PosixHost final : public mirvane::test::ScriptHost {
public:
    void write(Stream stream, std::string_view data) override {
        writeAll(stream == Stream::Output ? STDOUT_FILENO : STDERR_FILENO, data);
    }

    void sleepMs(long long ms) override { sleepFor(ms); }

    void exitNow(long long code) override { ::_exit(static_cast<int>(code)); }

    void crash(long long signal) override {
        const int number = static_cast<int>(signal);
        std::signal(number, SIG_DFL);
        std::raise(number);
        ::_exit(128 + number);  // a signal whose default is not to end the process
    }

    void hang() override {
        for (;;) ::pause();
    }

    void closeOutput() override {
        ::close(STDOUT_FILENO);
        ::close(STDERR_FILENO);
    }

    void startGrandchild(long long sleepMs, std::optional<std::string_view> pidFile,
                         bool holdsOutput) override {
        if (::fork() != 0) return;
        if (!holdsOutput) {
            const int nothing = ::open("/dev/null", O_RDWR);
            for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) ::dup2(nothing, fd);
        }
        if (pidFile) writePidFile(*pidFile);
        sleepFor(sleepMs);
        ::_exit(0);
    }

    void writePidFile(std::string_view path) override {
        // Renamed into place, so a reader never sees a half-written number.
        const std::string target(path);
        std::ofstream(target + ".tmp") << ::getpid() << '\n';
        std::rename((target + ".tmp").c_str(), target.c_str());
    }

    bool runOwnStep(std::string_view name, std::string_view) override {
        if (name == "ignore-term") {
            std::signal(SIGTERM, SIG_IGN);
            std::signal(SIGINT, SIG_IGN);
        } else if (name == "list-fds") {
            listFds();
        } else if (name == "signals") {
            printSignalMasks();
        } else {
            return false;
        }
        return true;
    }
};

}  // namespace

int main(int argc, char** argv) {
    PosixHost host;
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
    mirvane::test::runScript(arguments, host);
    return 0;
}
