// The requests to end as signals, written into a pipe by a handler that does
// nothing else (write is async-signal-safe, and errno is kept for the code
// the signal interrupted).

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "engine/platform/termination.h"

namespace mirvane::platform {

namespace {

// Set before any handler is installed, never changed afterwards.
int g_requests[2] = {-1, -1};

extern "C" void onTerminationSignal(int) {
    const int saved = errno;
    const char request = 1;
    // A full pipe already holds a request: nothing is lost.
    (void)::write(g_requests[1], &request, 1);
    errno = saved;
}

void catchSignal(int signal, bool unlessIgnored) {
    struct sigaction action {};
    if (unlessIgnored && ::sigaction(signal, nullptr, &action) == 0 && action.sa_handler == SIG_IGN) return;
    action = {};
    action.sa_handler = onTerminationSignal;
    // Calls the signal interrupts go on, and a second signal waits for the first's handler.
    action.sa_flags = SA_RESTART;
    sigfillset(&action.sa_mask);
    (void)::sigaction(signal, &action, nullptr);
}

}  // namespace

int catchTerminationRequests() {
    if (g_requests[0] >= 0) return g_requests[0];
    if (::pipe2(g_requests, O_CLOEXEC | O_NONBLOCK) != 0) {
        g_requests[0] = g_requests[1] = -1;
        return -1;
    }
    catchSignal(SIGTERM, false);
    catchSignal(SIGHUP, true);
    catchSignal(SIGINT, true);
    return g_requests[0];
}

bool takeTerminationRequests() {
    if (g_requests[0] < 0) return false;
    bool taken = false;
    char requests[64];
    for (;;) {
        const ssize_t count = ::read(g_requests[0], requests, sizeof requests);
        if (count > 0) {
            taken = true;
        } else if (count < 0 && errno == EINTR) {
            continue;
        } else {
            return taken;
        }
    }
}

bool waitForTerminationRequest(std::chrono::milliseconds timeout) {
    pollfd requests{catchTerminationRequests(), POLLIN, 0};
    if (requests.fd < 0) return false;
    if (::poll(&requests, 1, static_cast<int>(timeout.count())) != 1) return false;
    return takeTerminationRequests();
}

}  // namespace mirvane::platform
