#include "engine/platform/platform.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace mirvane::platform {

namespace {

std::error_code lastError() { return {errno, std::system_category()}; }

// Moves a descriptor to a number above the standard ones, so that installing
// the child's standard descriptors can never overwrite it (a program started
// with 0, 1 or 2 closed gets those numbers back from pipe2 and open).
int aboveStandardDescriptors(int fd) {
    if (fd > STDERR_FILENO) return fd;
    const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return moved;
}

void closeIfOpen(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

// Between fork and exec only async-signal-safe calls are allowed: another
// thread may have held a lock (in malloc, for instance) at the moment of the
// fork, and it stays held forever in the child.
[[noreturn]] void failChild(int statusFd) {
    const int error = errno;
    while (::write(statusFd, &error, sizeof error) < 0 && errno == EINTR) {
    }
    ::_exit(127);
}

[[noreturn]] void runChild(char* const* argv, pid_t parent, int nullFd, int outputFd, int statusFd) {
    if (::setpgid(0, 0) != 0) failChild(statusFd);
    // ffmpeg ignores SIGPIPE, so the encoder would keep running after the
    // program died; this signal ends it instead. The parent may already be
    // gone before the request took effect, hence the second look.
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0) failChild(statusFd);
    if (::getppid() != parent) ::_exit(127);
    if (::dup2(nullFd, STDIN_FILENO) < 0 || ::dup2(outputFd, STDOUT_FILENO) < 0 ||
        ::dup2(outputFd, STDERR_FILENO) < 0) {
        failChild(statusFd);
    }
    // Other parts of the program may hold descriptors opened without
    // O_CLOEXEC; none of them is the encoder's business. Older kernels lack
    // this call, and then only descriptors opened carelessly leak.
    ::close_range(STDERR_FILENO + 1, ~0U, CLOSE_RANGE_CLOEXEC);
    // Ignored signals stay ignored across exec, so the program's own choices
    // (SIGPIPE above all) must not become the encoder's.
    struct sigaction defaultAction {};
    defaultAction.sa_handler = SIG_DFL;
    for (int signal = 1; signal < NSIG; ++signal) {
        if (signal != SIGKILL && signal != SIGSTOP) ::sigaction(signal, &defaultAction, nullptr);
    }
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::execv(argv[0], argv);
    failChild(statusFd);
}

// Reads the errno a child reports when it could not exec; 0 when the exec
// succeeded (the descriptor closed on exec without a word).
int readExecError(int statusFd) {
    int error = 0;
    ssize_t got;
    while ((got = ::read(statusFd, &error, sizeof error)) < 0 && errno == EINTR) {
    }
    if (got == 0) return 0;
    if (got == static_cast<ssize_t>(sizeof error)) return error;
    return got < 0 ? errno : EIO;
}

}  // namespace

std::string executablePath() {
    char* resolved = ::realpath("/proc/self/exe", nullptr);
    if (resolved == nullptr) return {};
    std::string path(resolved);
    std::free(resolved);
    return path;
}

bool fileExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool deleteFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

void consoleToSystemText(std::string&) {}

std::tm localTimeNow() {
    const std::time_t now = std::time(nullptr);
    // localtime_r need not look at TZ again; a zone changed while the program
    // runs would otherwise be missed.
    ::tzset();
    std::tm local{};
    ::localtime_r(&now, &local);
    return local;
}

File::File(File&& other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        closeIfOpen(m_fd);
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

File::~File() { closeIfOpen(m_fd); }

File File::openExistingForAppend(const std::string& path, std::error_code& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    error = fd < 0 ? lastError() : std::error_code();
    return File(fd);
}

File File::createAlways(const std::string& path, std::error_code& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    error = fd < 0 ? lastError() : std::error_code();
    return File(fd);
}

std::error_code File::write(std::string_view data) {
    if (m_fd < 0) return std::make_error_code(std::errc::bad_file_descriptor);
    while (!data.empty()) {
        const ssize_t written = ::write(m_fd, data.data(), data.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return lastError();
        }
        if (written == 0) return std::make_error_code(std::errc::io_error);
        data.remove_prefix(static_cast<std::size_t>(written));
    }
    return {};
}

std::error_code File::close() {
    if (m_fd < 0) return std::make_error_code(std::errc::bad_file_descriptor);
    const int result = ::close(m_fd);
    m_fd = -1;
    return result != 0 ? lastError() : std::error_code();
}

EncoderProcess::~EncoderProcess() {
    if (m_pid != 0) kill();
    close();
}

// PR_SET_PDEATHSIG fires when the thread that forked the child ends, not when
// the process does: start() must run on a thread that lives as long as the
// child, which is why each encoder is started and reaped by one worker thread.
std::error_code EncoderProcess::start(const std::vector<std::string>& argv) {
    if (argv.empty()) return std::make_error_code(std::errc::invalid_argument);
    if (m_pid != 0 || m_readFd >= 0 || m_writeFd >= 0) {
        return std::make_error_code(std::errc::device_or_resource_busy);
    }

    std::vector<char*> arguments;
    arguments.reserve(argv.size() + 1);
    for (const std::string& argument : argv) arguments.push_back(const_cast<char*>(argument.c_str()));
    arguments.push_back(nullptr);

    int output[2] = {-1, -1};
    int status[2] = {-1, -1};
    int nullFd = -1;
    auto closeAll = [&] {
        for (int* fd : {&output[0], &output[1], &status[0], &status[1], &nullFd}) closeIfOpen(*fd);
    };
    if (::pipe2(output, O_CLOEXEC) != 0 || ::pipe2(status, O_CLOEXEC) != 0) {
        const std::error_code error = lastError();
        closeAll();
        return error;
    }
    nullFd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    for (int* fd : {&nullFd, &output[0], &output[1], &status[0], &status[1]}) {
        if (*fd >= 0) *fd = aboveStandardDescriptors(*fd);
        if (*fd < 0) {
            const std::error_code error = lastError();
            closeAll();
            return error;
        }
    }

    // With every signal blocked across the fork, none of the program's own
    // handlers can run in the child before it has reset them.
    sigset_t all;
    sigset_t previous;
    ::sigfillset(&all);
    ::pthread_sigmask(SIG_SETMASK, &all, &previous);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) runChild(arguments.data(), parent, nullFd, output[1], status[1]);
    const int forkError = errno;
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (pid < 0) {
        closeAll();
        return {forkError, std::system_category()};
    }

    // Also done here so that the group exists whichever side runs first; it
    // fails harmlessly once the child has already exec'd.
    ::setpgid(pid, pid);
    closeIfOpen(status[1]);
    closeIfOpen(nullFd);
    const int execError = readExecError(status[0]);
    if (execError != 0) {
        while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        closeAll();
        return {execError, std::system_category()};
    }
    closeIfOpen(status[0]);

    m_readFd = output[0];
    m_writeFd = output[1];
    std::lock_guard lock(m_lock);
    m_pid = pid;
    return {};
}

bool EncoderProcess::closeWriteEnd() {
    if (m_writeFd < 0) return false;
    const int result = ::close(m_writeFd);
    m_writeFd = -1;
    return result == 0;
}

std::ptrdiff_t EncoderProcess::read(char* buffer, std::size_t size) {
    if (m_readFd < 0) {
        errno = EBADF;
        return -1;
    }
    ssize_t got;
    while ((got = ::read(m_readFd, buffer, size)) < 0 && errno == EINTR) {
    }
    return got;
}

bool EncoderProcess::hasEnded() {
    std::lock_guard lock(m_lock);
    if (m_pid == 0) return true;
    pid_t result;
    while ((result = ::waitpid(m_pid, nullptr, WNOHANG)) < 0 && errno == EINTR) {
    }
    if (result == 0) return false;
    m_pid = 0;
    return true;
}

bool EncoderProcess::waitForEnd(std::chrono::milliseconds timeout) {
    if (hasEnded()) return true;
    // A pidfd turns readable the moment the child ends, so the wait neither
    // polls nor oversleeps. Only this thread reaps, so the child named by
    // m_pid is still there to be opened. Without pidfds (kernels before 5.3)
    // a plain pause stands in.
    const int pidFd = static_cast<int>(::syscall(SYS_pidfd_open, m_pid, 0));
    if (pidFd >= 0) {
        pollfd ended{pidFd, POLLIN, 0};
        while (::poll(&ended, 1, static_cast<int>(timeout.count())) < 0 && errno == EINTR) {
        }
        ::close(pidFd);
    } else {
        ::usleep(
            static_cast<useconds_t>(std::min<std::chrono::milliseconds::rep>(timeout.count(), 10) * 1000));
    }
    return hasEnded();
}

// Reaping happens only under the same lock, and an unreaped child keeps its
// process id and its group id, so while m_pid is set it cannot name anyone
// else's process.
void EncoderProcess::kill() {
    std::lock_guard lock(m_lock);
    if (m_pid != 0) ::kill(-m_pid, SIGKILL);
}

void EncoderProcess::close() {
    closeIfOpen(m_readFd);
    closeIfOpen(m_writeFd);
    // Only this thread changes m_pid, so it can be read here without the lock.
    if (m_pid == 0) return;
    // The wait must not hold the lock: a kill from another thread would block
    // for as long as the child lives. WNOWAIT leaves the child unreaped, so
    // its id stays reserved until the reap below, taken under the lock.
    siginfo_t info{};
    while (::waitid(P_PID, static_cast<id_t>(m_pid), &info, WEXITED | WNOWAIT) < 0 && errno == EINTR) {
    }
    std::lock_guard lock(m_lock);
    while (::waitpid(m_pid, nullptr, 0) < 0 && errno == EINTR) {
    }
    m_pid = 0;
}

}  // namespace mirvane::platform
