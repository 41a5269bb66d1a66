#pragma once
// The one place where the engine reaches the operating system. No system type
// appears here: each system keeps its own state in its own implementation
// files, and nothing else in the engine includes a system header.

#include <chrono>
#include <cstddef>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace mirvane::platform {

// Full path of the running executable (the real file, links resolved).
std::string executablePath();

// True for any directory entry at the path that is not a directory: a regular
// file, a link (also a dangling one, or one to a folder), a FIFO, a socket, a
// device. A name for which this is true is never one to write a new file to.
bool entryExists(const std::string& path);

// True for a regular file (links followed) that this process may read.
bool isReadableFile(const std::string& path);

// True for a regular file (links followed) that this process may execute.
bool isExecutableFile(const std::string& path);

// Deletes a file; false when it could not be deleted.
bool deleteFile(const std::string& path);

// True for a folder (links followed) in which this process may make and
// delete entries.
bool isWritableFolder(const std::string& path);

// Makes the folder and every missing folder above it, each closed to other
// users; an existing folder is left as it is.
std::error_code makePrivateFolder(const std::string& path);

// The user's own folders for settings and for state kept between runs,
// without a trailing separator; empty when the system names none.
struct UserFolders {
    std::string configHome;
    std::string stateHome;
};

UserFolders userFolders();

// Reads a whole regular file into content. A file larger than maxBytes is
// refused (std::errc::file_too_large) without more than maxBytes of it ever
// being held in memory; anything but a regular file is refused too.
std::error_code readFile(const std::string& path, std::size_t maxBytes, std::string& content);

// True when the byte may begin a double-byte character of the engine's text.
// That text is UTF-8 on every system (Windows names are converted at this
// layer's edge), so no byte is one; the path rules still ask rather than
// assume a code page.
bool isLeadByte(unsigned char byte);

// Text in the system's own 8-bit code page as UTF-8: the ANSI code page on
// Windows (Shift-JIS on a Japanese system); where the system's text is UTF-8
// already, the bytes as they are.
std::string systemCodePageToUtf8(std::string_view text);

// Converts the encoder's console text to the engine's UTF-8 in place: on
// POSIX systems it is UTF-8 already; on Windows valid UTF-8 is kept and
// anything else is read in the console's code page.
void consoleToSystemText(std::string& text);

// The current local time.
std::tm localTimeNow();

// The user's locale's short date form of the time's date.
std::string localeShortDate(const std::tm& time);

// Hours, minutes and seconds of the time, joined by the locale's time
// separator.
std::string localeTimeOfDay(const std::tm& time);

struct InstanceCheck {
    bool alreadyRunning = false;
    // Why the check could not be made (a sentence for the user, with the
    // system's own error text); empty when it was made.
    std::string failure;
};

// Takes the per-user single-instance lock of the given name for the rest of
// the process's life; alreadyRunning when another process holds it. The
// system releases the lock when the process ends, however it ends.
InstanceCheck IsAlreadyRunning(const std::string& name);

// Where the copy that holds the lock of the given name hears from the copies
// started after it. Each list of files that arrives is given to the receiver
// on the listener's own thread, in the order the lists came; only processes
// of this user are heard. Destroying the listener stops it and waits for its
// thread.
class HandOverListener {
public:
    using Receiver = std::function<void(std::vector<std::string> files)>;

    virtual ~HandOverListener() = default;

    // Listens for the copies of the given name; call it only while holding
    // that name's lock. Null, with the reason in error, when it cannot.
    static std::unique_ptr<HandOverListener> start(const std::string& name, Receiver receiver,
                                                   std::error_code& error);
};

// Hands the files, exact bytes in order, to the copy that holds the lock of
// the given name, and returns once it has taken them; waits at most timeout
// in all, also for a copy that is still starting up.
std::error_code handOverFiles(const std::string& name, const std::vector<std::string>& files,
                              std::chrono::milliseconds timeout);

// A regular file opened for writing only, closed by close() or the
// destructor. Opening never blocks, and anything but a regular file (a FIFO,
// a device, a socket, a folder) is refused.
class File {
public:
    File();
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File();

    // Opens an existing file and positions writes at its end.
    static File openExistingForAppend(const std::string& path, std::error_code& error);
    // Creates the file, or truncates it when it exists; others may read it.
    static File createAlways(const std::string& path, std::error_code& error);

    bool isOpen() const;
    std::error_code write(std::string_view data);
    std::error_code close();

private:
    struct Impl;
    explicit File(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
};

// One encoder run: a child process whose standard output and standard error
// share one pipe. start(), the reads, hasEnded() and close() belong to the
// thread that runs the job; kill() may come from any thread at any moment and
// reaches the encoder and everything it started only while this run's
// encoder has not been reaped, so it can never hit an unrelated process that
// reused the id. Whatever the encoder started dies with the program, however
// the program ends.
class EncoderProcess {
public:
    EncoderProcess();
    EncoderProcess(const EncoderProcess&) = delete;
    EncoderProcess& operator=(const EncoderProcess&) = delete;
    ~EncoderProcess();

    // Runs `program` with the arguments that the command line gives after the
    // program's own part. The program is always the one named here, never a
    // path read back out of the command line. Fails when the pipe cannot be
    // made or the program cannot be executed.
    std::error_code start(const std::string& program, const std::string& commandLine);
    // Closes this side's copy of the pipe's write end, so that reads see the
    // pipe's end once the child (and anything that inherited it) has exited.
    // False when it was not open or the close failed.
    bool closeWriteEnd();
    // Blocking read of at most size bytes: the byte count, 0 at the pipe's
    // end, -1 on an error.
    std::ptrdiff_t read(char* buffer, std::size_t size);
    // Zero-time-out test: true once the encoder has ended (it is then reaped)
    // or when the test itself fails.
    bool hasEnded();
    // Waits at most `timeout` for the encoder to end: true once it has ended
    // (it is then reaped). Returns as soon as the encoder ends.
    bool waitForEnd(std::chrono::milliseconds timeout);
    // Kills the encoder and everything it started, at once and without
    // waiting; nothing once the encoder is reaped.
    void kill();
    // Closes the pipe and reaps the encoder, waiting for it if need be.
    void close();
    // Whichever call reaps the encoder also kills what it left running: a
    // run's processes end with the run.

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace mirvane::platform
