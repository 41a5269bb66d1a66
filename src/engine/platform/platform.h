#pragma once
// The one place where the engine reaches the operating system. Each system
// has its own implementation file; nothing else in the engine includes a
// system header.

#include <chrono>
#include <cstddef>
#include <ctime>
#include <mutex>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace mirvane::platform {

// Full path of the running executable (the real file, links resolved).
std::string executablePath();

// True when a regular file exists at the path (a link to one counts; a
// directory or a device does not).
bool fileExists(const std::string& path);

// Deletes a file; false when it could not be deleted.
bool deleteFile(const std::string& path);

// True when the byte may begin a double-byte character of the system's
// multibyte text (never in UTF-8).
bool isLeadByte(unsigned char byte);

// Converts the encoder's console text to the system's text encoding in place.
// Both are UTF-8 on POSIX systems, so there it changes nothing.
void consoleToSystemText(std::string& text);

// The current local time.
std::tm localTimeNow();

// Takes the per-user single-instance lock of the given name for the rest of
// the process's life; true when another process already holds it. The system
// releases the lock when the process ends, however it ends.
bool IsAlreadyRunning(const std::string& name);

// A file opened for writing only, closed by close() or the destructor.
class File {
public:
    File() = default;
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File();

    // Opens an existing file and positions writes at its end.
    static File openExistingForAppend(const std::string& path, std::error_code& error);
    // Creates the file, or truncates it when it exists; others may read it.
    static File createAlways(const std::string& path, std::error_code& error);

    bool isOpen() const { return m_fd >= 0; }
    std::error_code write(std::string_view data);
    std::error_code close();

private:
    explicit File(int fd) : m_fd(fd) {}
    int m_fd = -1;
};

// One encoder run: a child process whose standard output and standard error
// share one pipe. start(), the reads, hasEnded() and close() belong to the
// thread that runs the job; kill() may come from any thread at any moment and
// reaches the child's whole process group only while this run's child has not
// been reaped, so it can never hit an unrelated process that reused the id.
class EncoderProcess {
public:
    EncoderProcess() = default;
    EncoderProcess(const EncoderProcess&) = delete;
    EncoderProcess& operator=(const EncoderProcess&) = delete;
    ~EncoderProcess();

    // Starts argv[0] with the arguments; fails when the pipe cannot be made
    // or the program cannot be executed.
    std::error_code start(const std::vector<std::string>& argv);
    // Closes this side's copy of the pipe's write end, so that reads see the
    // pipe's end once the child (and anything that inherited it) has exited.
    // False when it was not open or the close failed.
    bool closeWriteEnd();
    // Blocking read of at most size bytes: the byte count, 0 at the pipe's
    // end, -1 on an error.
    std::ptrdiff_t read(char* buffer, std::size_t size);
    // Zero-time-out test: true once the child has ended (it is then reaped)
    // or when the test itself fails.
    bool hasEnded();
    // Waits at most `timeout` for the child to end: true once it has ended
    // (it is then reaped). Returns as soon as the child ends.
    bool waitForEnd(std::chrono::milliseconds timeout);
    // SIGKILL to the child's process group; nothing once the child is reaped.
    void kill();
    // Closes the pipe and reaps the child, waiting for it if need be.
    void close();

private:
    std::mutex m_lock;  // guards m_pid against a kill racing the reap
    int m_pid = 0;      // 0: no child of this run left to signal
    int m_readFd = -1;
    int m_writeFd = -1;
};

}  // namespace mirvane::platform
