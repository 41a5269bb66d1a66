// Plays the encoder's part in tests. Every argument of the form NAME or
// NAME:VALUE whose NAME is a step below is carried out in order; any other
// argument (ffmpeg options, file names) is ignored, so the program can be
// started through a full encoder command line. Exits 0 after the last step.
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
//   grandchild:MS     start a process in the same group that inherits the
//                     output and sleeps MS
//   close-output      close standard output and standard error, go on
//   pidfile:PATH      write the own process id to PATH
//   progress:SECONDS:INTERVAL_MS  a Duration line, one time= line per second
//                     of input every INTERVAL_MS, then the closing summary
//   list-fds          print "fds:" and each open descriptor as
//                     " N=TARGET", then "\n"
//   signals           print the SigBlk and SigIgn lines of /proc/self/status

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

namespace {

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

// Arguments cannot hold NUL bytes (and on Windows only text), hence the
// escapes.
std::string unescape(std::string_view text) {
    constexpr std::string_view codes = "nr0";
    constexpr std::string_view bytes("\n\r\0", 3);
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x') {
            out += static_cast<char>(std::strtol(std::string(text.substr(i + 2, 2)).c_str(), nullptr, 16));
            i += 3;
            continue;
        }
        const std::size_t code =
            i + 1 < text.size() && text[i] == '\\' ? codes.find(text[i + 1]) : codes.npos;
        out += code == codes.npos ? text[i] : bytes[code];
        if (code != codes.npos) ++i;
    }
    return out;
}

long long number(std::string_view text) { return std::atoll(std::string(text).c_str()); }

void sleepMs(long long ms) {
    timespec left{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (::nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

std::string timestamp(long long seconds) {
    char text[48];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld.00", seconds / 3600, seconds / 60 % 60,
                  seconds % 60);
    return text;
}

std::string progressLine(long long frame, long long seconds) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "frame=%5lld fps=25 q=28.0 size=%8lldkB time=%s bitrate=2000.0kbits/s speed=1x\r", frame,
                  frame * 10, timestamp(seconds).c_str());
    return text;
}

void flood(std::string_view value) {
    const std::size_t colon = value.find(':');
    const std::string_view count = value.substr(0, colon);
    const std::size_t shift = count.empty() ? 0 : std::string_view("kmg").find(count.back()) + 1;
    long long bytes = number(count) << (10 * shift);
    const std::string unit = colon == value.npos ? progressLine(100, 4) : unescape(value.substr(colon + 1));
    if (unit.empty()) return;
    std::string block;
    while (block.size() < (1 << 16)) block += unit;
    for (; bytes > 0; bytes -= static_cast<long long>(block.size())) {
        writeAll(STDOUT_FILENO, std::string_view(block).substr(0, static_cast<std::size_t>(bytes)));
    }
}

void progress(std::string_view timing) {
    const std::size_t colon = timing.find(':');
    const long long seconds = number(timing.substr(0, colon));
    const long long interval = colon == timing.npos ? 0 : number(timing.substr(colon + 1));
    writeAll(STDOUT_FILENO, "  Duration: " + timestamp(seconds) + ", start: 0.000000, bitrate: 100 kb/s\n");
    for (long long second = 1; second <= seconds; ++second) {
        sleepMs(interval);
        writeAll(STDOUT_FILENO, progressLine(second * 25, second));
    }
    writeAll(STDOUT_FILENO,
             "\nvideo:123kB audio:45kB subtitle:0kB other streams:0kB global headers:0kB "
             "muxing overhead: 1.0%\n");
}

void writePidFile(const std::string& path) {
    // Renamed into place, so a reader never sees a half-written number.
    std::ofstream(path + ".tmp") << ::getpid() << '\n';
    std::rename((path + ".tmp").c_str(), path.c_str());
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

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        const std::size_t colon = argument.find(':');
        const std::string_view name = argument.substr(0, colon);
        const std::string_view value = colon == argument.npos ? "" : argument.substr(colon + 1);
        if (name == "print") {
            writeAll(STDOUT_FILENO, unescape(value));
        } else if (name == "stderr") {
            writeAll(STDERR_FILENO, unescape(value));
        } else if (name == "sleep") {
            sleepMs(number(value));
        } else if (name == "exit") {
            ::_exit(static_cast<int>(number(value)));
        } else if (name == "crash") {
            const int signal = static_cast<int>(number(value));
            std::signal(signal, SIG_DFL);
            std::raise(signal);
            ::_exit(128 + signal);  // a signal whose default is not to end the process
        } else if (name == "hang") {
            for (;;) ::pause();
        } else if (name == "ignore-term") {
            std::signal(SIGTERM, SIG_IGN);
            std::signal(SIGINT, SIG_IGN);
        } else if (name == "flood") {
            flood(value);
        } else if (name == "grandchild") {
            if (::fork() == 0) {
                sleepMs(number(value));
                ::_exit(0);
            }
        } else if (name == "close-output") {
            ::close(STDOUT_FILENO);
            ::close(STDERR_FILENO);
        } else if (name == "pidfile") {
            writePidFile(std::string(value));
        } else if (name == "progress") {
            progress(value);
        } else if (name == "list-fds") {
            listFds();
        } else if (name == "signals") {
            printSignalMasks();
        }
    }
    return 0;
}
