// Plays the encoder's part in tests. Every argument of the form NAME or
// NAME:VALUE whose NAME is a step below is carried out in order; any other
// argument (ffmpeg options, file names) is ignored, so the program can be
// started through a full encoder command line. Exits 0 after the last step.
//
//   print:TEXT        TEXT to standard output in one write
//   stderr:TEXT       TEXT to standard error in one write
//                     (TEXT escapes: \n \r \t \0 \\ \xHH)
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
//   read-stdin        read standard input to its end, print "stdin:N\n"
//   list-fds          print "fds:" and each open descriptor as
//                     " N=TARGET", then "\n"
//   signals           print the SigIgn and SigBlk lines of /proc/self/status

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
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

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string unescape(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char code = text[++i];
        switch (code) {
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case '0':
                out += '\0';
                break;
            case '\\':
                out += '\\';
                break;
            case 'x':
                if (i + 2 < text.size() && hexDigit(text[i + 1]) >= 0 && hexDigit(text[i + 2]) >= 0) {
                    out += static_cast<char>(hexDigit(text[i + 1]) * 16 + hexDigit(text[i + 2]));
                    i += 2;
                    break;
                }
                [[fallthrough]];
            default:
                out += '\\';
                out += code;
        }
    }
    return out;
}

void sleepMs(long long ms) {
    timespec left{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (::nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

long long parseCount(std::string_view text) {
    long long value = std::atoll(std::string(text).c_str());
    if (!text.empty()) {
        switch (text.back()) {
            case 'k':
            case 'K':
                value <<= 10;
                break;
            case 'm':
            case 'M':
                value <<= 20;
                break;
            case 'g':
            case 'G':
                value <<= 30;
                break;
            default:
                break;
        }
    }
    return value;
}

std::string timestamp(long long hundredths) {
    char text[48];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld.%02lld", hundredths / 360000,
                  hundredths / 6000 % 60, hundredths / 100 % 60, hundredths % 100);
    return text;
}

std::string progressLine(long long frame, long long seconds) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "frame=%5lld fps=25 q=28.0 size=%8lldkB time=%s bitrate=2000.0kbits/s speed=1x\r", frame,
                  frame * 10, timestamp(seconds * 100).c_str());
    return text;
}

void flood(long long bytes, std::string_view line) {
    const std::string unit = line.empty() ? progressLine(100, 4) : unescape(line);
    if (unit.empty()) return;
    std::string block;
    while (block.size() < (1 << 16)) block += unit;
    while (bytes > 0) {
        const std::size_t size = static_cast<std::size_t>(std::min<long long>(bytes, block.size()));
        writeAll(STDOUT_FILENO, std::string_view(block.data(), size));
        bytes -= static_cast<long long>(size);
    }
}

void progress(std::string_view timing) {
    const std::size_t colon = timing.find(':');
    const long long seconds = std::atoll(std::string(timing.substr(0, colon)).c_str());
    const long long interval =
        colon == std::string_view::npos ? 0 : std::atoll(std::string(timing.substr(colon + 1)).c_str());
    writeAll(STDOUT_FILENO,
             "  Duration: " + timestamp(seconds * 100) + ", start: 0.000000, bitrate: 100 kb/s\n");
    for (long long second = 1; second <= seconds; ++second) {
        sleepMs(interval);
        writeAll(STDOUT_FILENO, progressLine(second * 25, second));
    }
    writeAll(STDOUT_FILENO,
             "\nvideo:123kB audio:45kB subtitle:0kB other streams:0kB global headers:0kB "
             "muxing overhead: 1.0%\n");
}

void grandchild(long long ms) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        sleepMs(ms);
        ::_exit(0);
    }
}

void writePidFile(const std::string& path) {
    // Written under a temporary name and renamed, so a reader never sees a
    // half-written number.
    const std::string temporary = path + ".tmp";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return;
    writeAll(fd, std::to_string(::getpid()) + "\n");
    ::close(fd);
    std::rename(temporary.c_str(), path.c_str());
}

void readStdin() {
    long long total = 0;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            writeAll(STDOUT_FILENO, got == 0 ? "stdin:" + std::to_string(total) + "\n"
                                             : "stdin:error:" + std::to_string(errno) + "\n");
            return;
        }
        total += got;
    }
}

void listFds() {
    DIR* dir = ::opendir("/proc/self/fd");
    if (dir == nullptr) return;
    std::vector<int> fds;
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.') continue;
        const int fd = std::atoi(entry->d_name);
        if (fd != ::dirfd(dir)) fds.push_back(fd);
    }
    ::closedir(dir);
    std::sort(fds.begin(), fds.end());
    std::string text = "fds:";
    for (const int fd : fds) {
        char target[512];
        const std::string link = "/proc/self/fd/" + std::to_string(fd);
        const ssize_t size = ::readlink(link.c_str(), target, sizeof target);
        text += " " + std::to_string(fd) + "=" +
                std::string(target, size > 0 ? static_cast<std::size_t>(size) : 0);
    }
    writeAll(STDOUT_FILENO, text + "\n");
}

void printSignalMasks() {
    const int fd = ::open("/proc/self/status", O_RDONLY);
    if (fd < 0) return;
    std::string status;
    char buffer[4096];
    ssize_t got;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0)
        status.append(buffer, static_cast<std::size_t>(got));
    ::close(fd);
    std::string text;
    std::size_t start = 0;
    while (start < status.size()) {
        const std::size_t end = std::min(status.find('\n', start), status.size());
        const std::string_view line = std::string_view(status).substr(start, end - start);
        if (line.starts_with("SigIgn:") || line.starts_with("SigBlk:")) text += std::string(line) + "\n";
        start = end + 1;
    }
    writeAll(STDOUT_FILENO, text);
}

void crash(int signal) {
    std::signal(signal, SIG_DFL);
    sigset_t set;
    ::sigemptyset(&set);
    ::sigaddset(&set, signal);
    ::sigprocmask(SIG_UNBLOCK, &set, nullptr);
    std::raise(signal);
    ::_exit(128 + signal);  // a signal whose default is not to end the process
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        const std::size_t colon = argument.find(':');
        const std::string_view name = argument.substr(0, colon);
        const std::string_view value = colon == std::string_view::npos ? "" : argument.substr(colon + 1);
        if (name == "print") {
            writeAll(STDOUT_FILENO, unescape(value));
        } else if (name == "stderr") {
            writeAll(STDERR_FILENO, unescape(value));
        } else if (name == "sleep") {
            sleepMs(std::atoll(std::string(value).c_str()));
        } else if (name == "exit") {
            ::_exit(std::atoi(std::string(value).c_str()));
        } else if (name == "crash") {
            crash(std::atoi(std::string(value).c_str()));
        } else if (name == "hang") {
            for (;;) ::pause();
        } else if (name == "ignore-term") {
            std::signal(SIGTERM, SIG_IGN);
            std::signal(SIGINT, SIG_IGN);
        } else if (name == "flood") {
            const std::size_t lineStart = value.find(':');
            flood(parseCount(value.substr(0, lineStart)),
                  lineStart == std::string_view::npos ? "" : value.substr(lineStart + 1));
        } else if (name == "grandchild") {
            grandchild(std::atoll(std::string(value).c_str()));
        } else if (name == "close-output") {
            ::close(STDOUT_FILENO);
            ::close(STDERR_FILENO);
        } else if (name == "pidfile") {
            writePidFile(std::string(value));
        } else if (name == "progress") {
            progress(value);
        } else if (name == "read-stdin") {
            readStdin();
        } else if (name == "list-fds") {
            listFds();
        } else if (name == "signals") {
            printSignalMasks();
        }
    }
    return 0;
}
