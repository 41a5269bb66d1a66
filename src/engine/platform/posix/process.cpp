// The encoder's process: fork and exec, one pipe for both outputs, the reap,
// and a guard that takes the encoder's process group down with the program.

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <mutex>
#include <vector>

#include "engine/formats/command_line.h"
#include "engine/platform/posix/posix_internal.h"
#include "engine/platform/process.h"

namespace mirvane::platform {

using posix::lastError;

namespace {

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

// The wait status of the reaped child.
int reap(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
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

[[noreturn]] void runEncoder(const char* program, char* const* argv, pid_t parent, int nullFd, int outputFd,
                             int statusFd) {
    if (::setpgid(0, 0) != 0) failChild(statusFd);
    // ffmpeg ignores SIGPIPE, so the encoder would keep running after the
    // program died; this signal ends it at once, before the guard has even
    // noticed. The parent may already be gone before the request took
    // effect, hence the second look.
    if (!posix::killWhenParentThreadEnds()) failChild(statusFd);
    if (::getppid() != parent) ::_exit(127);
    if (::dup2(nullFd, STDIN_FILENO) < 0 || ::dup2(outputFd, STDOUT_FILENO) < 0 ||
        ::dup2(outputFd, STDERR_FILENO) < 0) {
        failChild(statusFd);
    }
    // Other parts of the program may hold descriptors opened without
    // O_CLOEXEC; none of them is the encoder's business.
    posix::closeOnExecFrom(STDERR_FILENO + 1);
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
    ::execv(program, argv);
    failChild(statusFd);
}

// The guard joins the encoder's process group and waits on the lifeline, a
// pipe whose write end only the program holds. The pipe reports its end when
// the program has died, by whatever cause (the system closes the descriptors
// of a process that ends), and then the guard kills the whole group: the
// encoder, a wrapper's children, anything the encoder started. Being a
// member itself, it keeps the group's id from being reused until that kill
// has been sent. On a normal end the program kills and reaps the guard.
//
// PR_SET_PDEATHSIG reaches only the encoder itself, and a subreaper or a
// cgroup would need the program (or a session manager) to stay alive or to
// grant rights; a pipe's end is the one signal a dead program still gives.
//
// It runs in a fork of a threaded program and never execs: async-signal-safe
// calls only. Every signal stays blocked, as it was across the fork, so only
// SIGKILL ends it early.
[[noreturn]] void runGuard(pid_t group, int lifeline) {
    if (::setpgid(0, group) != 0 && ::getpgrp() != group) ::_exit(127);
    // Holding the output pipe would keep the encoder's reader from ever
    // seeing its end; the guard needs nothing but the lifeline.
    posix::closeAllDescriptorsBut(lifeline);
    char byte;
    while (::read(lifeline, &byte, 1) < 0 && errno == EINTR) {
    }
    ::kill(-group, SIGKILL);
    ::_exit(0);
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

// With every signal blocked across the fork, none of the program's own
// handlers can run in the child before it has reset them (or ever, in the
// guard).
template <typename Child>
pid_t forkWithSignalsBlocked(Child child, int& forkError) {
    sigset_t all;
    sigset_t previous;
    ::sigfillset(&all);
    ::pthread_sigmask(SIG_SETMASK, &all, &previous);
    const pid_t pid = ::fork();
    if (pid == 0) child();
    forkError = errno;
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return pid;
}

}  // namespace

struct EncoderProcess::Impl {
    // Called with the lock held, right after the encoder was reaped with
    // status. The guard, alive or not yet reaped, still holds the encoder's
    // group id, so the group's leftovers can be named safely; then the guard
    // goes.
    void endRun(int status) {
        if (WIFEXITED(status) && !killed) exitCode = WEXITSTATUS(status);
        ::kill(-group, SIGKILL);
        reap(guard);
        closeIfOpen(lifeline);
        encoder = 0;
        guard = 0;
    }

    std::mutex lock;    // guards encoder against a kill racing the reap
    pid_t encoder = 0;  // 0: no encoder of this run left to signal
    pid_t group = 0;
    pid_t guard = 0;
    int lifeline = -1;  // the write end; no other process holds it
    int readFd = -1;
    int writeFd = -1;
    bool killed = false;
    std::optional<int> exitCode;
};

EncoderProcess::EncoderProcess() : m_impl(std::make_unique<Impl>()) {}

EncoderProcess::~EncoderProcess() {
    if (m_impl->encoder != 0) kill();
    close();
}

// PR_SET_PDEATHSIG fires when the thread that forked the child ends, not when
// the process does: start() must run on a thread that lives as long as the
// child, which is why each encoder is started and reaped by one worker thread.
std::error_code EncoderProcess::start(const std::string& program, const std::string& commandLine) {
    Impl& run = *m_impl;
    if (program.empty()) return std::make_error_code(std::errc::invalid_argument);
    if (run.encoder != 0 || run.readFd >= 0 || run.writeFd >= 0) {
        return std::make_error_code(std::errc::device_or_resource_busy);
    }
    run.killed = false;
    run.exitCode.reset();

    std::vector<std::string> argv = ArgumentsAfterProgram(program, commandLine);
    argv.insert(argv.begin(), program);
    std::vector<char*> arguments;
    arguments.reserve(argv.size() + 1);
    for (std::string& argument : argv) arguments.push_back(argument.data());
    arguments.push_back(nullptr);

    int output[2] = {-1, -1};
    int status[2] = {-1, -1};
    int lifeline[2] = {-1, -1};
    int nullFd = -1;
    auto closeAll = [&] {
        for (int* fd : {&output[0], &output[1], &status[0], &status[1], &lifeline[0], &lifeline[1], &nullFd})
            closeIfOpen(*fd);
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

    const pid_t parent = ::getpid();
    int forkError = 0;
    const pid_t pid = forkWithSignalsBlocked(
        [&] { runEncoder(program.c_str(), arguments.data(), parent, nullFd, output[1], status[1]); },
        forkError);
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
        reap(pid);
        closeAll();
        return {execError, std::system_category()};
    }

    // Nothing but the guard may ever hold the lifeline's read end, and
    // nothing but this process its write end.
    pid_t guard = -1;
    if (::pipe2(lifeline, O_CLOEXEC) == 0) {
        guard = forkWithSignalsBlocked([&] { runGuard(pid, lifeline[0]); }, forkError);
    } else {
        forkError = errno;
    }
    // The guard joins the group itself; this call makes sure it did before
    // the run counts as started.
    if (guard > 0 && ::setpgid(guard, pid) != 0) {
        forkError = errno;
        ::kill(guard, SIGKILL);
        reap(guard);
        guard = -1;
    }
    if (guard < 0) {
        ::kill(-pid, SIGKILL);
        reap(pid);
        closeAll();
        return {forkError, std::system_category()};
    }
    closeIfOpen(lifeline[0]);
    closeIfOpen(status[0]);

    run.readFd = output[0];
    run.writeFd = output[1];
    run.lifeline = lifeline[1];
    run.guard = guard;
    run.group = pid;
    std::lock_guard lock(run.lock);
    run.encoder = pid;
    return {};
}

bool EncoderProcess::closeWriteEnd() {
    if (m_impl->writeFd < 0) return false;
    const int result = ::close(m_impl->writeFd);
    m_impl->writeFd = -1;
    return result == 0;
}

std::ptrdiff_t EncoderProcess::read(char* buffer, std::size_t size) {
    if (m_impl->readFd < 0) {
        errno = EBADF;
        return -1;
    }
    ssize_t got;
    while ((got = ::read(m_impl->readFd, buffer, size)) < 0 && errno == EINTR) {
    }
    return got;
}

bool EncoderProcess::hasEnded() {
    Impl& run = *m_impl;
    std::lock_guard lock(run.lock);
    if (run.encoder == 0) return true;
    pid_t result;
    int status = 0;
    while ((result = ::waitpid(run.encoder, &status, WNOHANG)) < 0 && errno == EINTR) {
    }
    if (result == 0) return false;
    run.endRun(status);
    return true;
}

bool EncoderProcess::waitForEnd(std::chrono::milliseconds timeout) {
    if (hasEnded()) return true;
    // A process descriptor turns readable the moment the encoder ends, so the
    // wait neither polls nor oversleeps. Only this thread reaps, so the
    // encoder is still there to be opened. Without one a plain pause stands in.
    const int handle = posix::openProcessHandle(m_impl->encoder);
    if (handle >= 0) {
        pollfd ended{handle, POLLIN, 0};
        while (::poll(&ended, 1, static_cast<int>(timeout.count())) < 0 && errno == EINTR) {
        }
        ::close(handle);
    } else {
        ::usleep(
            static_cast<useconds_t>(std::min<std::chrono::milliseconds::rep>(timeout.count(), 10) * 1000));
    }
    return hasEnded();
}

// Reaping happens only under the same lock, and an unreaped child keeps its
// process id and its group id, so while encoder is set it cannot name anyone
// else's process. The guard is in the group too and dies with it.
void EncoderProcess::kill() {
    std::lock_guard lock(m_impl->lock);
    if (m_impl->encoder == 0) return;
    m_impl->killed = true;
    ::kill(-m_impl->group, SIGKILL);
}

std::optional<int> EncoderProcess::exitCode() const { return m_impl->exitCode; }

void EncoderProcess::close() {
    Impl& run = *m_impl;
    closeIfOpen(run.readFd);
    closeIfOpen(run.writeFd);
    // Only this thread changes encoder, so it can be read here without the lock.
    if (run.encoder == 0) return;
    // The wait must not hold the lock: a kill from another thread would block
    // for as long as the child lives. WNOWAIT leaves the child unreaped, so
    // its id stays reserved until the reap below, taken under the lock.
    siginfo_t info{};
    while (::waitid(P_PID, static_cast<id_t>(run.encoder), &info, WEXITED | WNOWAIT) < 0 && errno == EINTR) {
    }
    std::lock_guard lock(run.lock);
    run.endRun(reap(run.encoder));
}

}  // namespace mirvane::platform
