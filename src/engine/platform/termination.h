#pragma once
// The system's requests that the program end (a logout, a shutdown, a plain
// kill; the terminal it was started from closing, or Ctrl+C there) turned
// into something the UI thread waits for among its other events: a
// descriptor that turns readable. The signal handler only writes one byte
// there; everything else happens on the UI thread.

#include <chrono>

namespace mirvane::platform {

// From now on, for the whole process, catches SIGTERM, and SIGHUP and SIGINT
// unless they are ignored (as under nohup). Returns the descriptor to watch;
// -1 where the system refused, or has no such requests: on Windows the
// session's end reaches the window as a message. Later calls return the same.
int catchTerminationRequests();

// Empties the descriptor; true when at least one request had arrived.
bool takeTerminationRequests();

// For a program without a window: waits at most `timeout` for a request to
// end and takes it; true when one had come. Requests are caught from the
// first call on: the signals above, and on Windows the console's Ctrl+C,
// Ctrl+Break and its closing.
bool waitForTerminationRequest(std::chrono::milliseconds timeout);

}  // namespace mirvane::platform
