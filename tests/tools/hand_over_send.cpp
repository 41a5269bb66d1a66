// Hands files to a listener the way a second copy of the program does, at a
// socket path of the test's choosing, so that tests can send as another user.
//
//   hand_over_send SOCKET TIMEOUT_MS [FILE...]
//
// Exits 0 once the listener has taken the files; otherwise prints the
// system's reason and exits 1.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/platform/posix/posix_internal.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fputs("usage: hand_over_send SOCKET TIMEOUT_MS [FILE...]\n", stderr);
        return 2;
    }
    const std::vector<std::string> files(argv + 3, argv + argc);
    const std::error_code error =
        mirvane::platform::posix::handOverTo(argv[1], files, std::chrono::milliseconds(std::atoi(argv[2])));
    if (!error) return 0;
    std::fprintf(stderr, "%s\n", error.message().c_str());
    return 1;
}
