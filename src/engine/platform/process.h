#pragma once
// The encoder's process. No system type appears here: each system keeps its
// own state in its own implementation file.

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <system_error>

namespace mirvane::platform {

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
    // Once the encoder is reaped: the code it exited with when it ended by
    // itself; nothing when it was killed (by kill() or by anyone else) or
    // crashed, or before its end.
    std::optional<int> exitCode() const;
    // Whichever call reaps the encoder also kills what it left running: a
    // run's processes end with the run.

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace mirvane::platform
