#pragma once
// How a second copy hands its files to the running one, in the message of
// hand_over_message.h, and only between processes of one user.

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

namespace mirvane::platform {

// The listener's policy, the same on both systems. Its own thread hears every
// sender at once, each until its own deadline: a sender that connects and
// has not sent its whole message within it is dropped, and delays no other.
inline constexpr std::chrono::milliseconds kHandOverSenderDeadline{2000};
// Senders heard at once; more wait in the system's queue (Linux) or for a
// free pipe instance (Windows), within their own time. Windows waits for
// them in one call that takes at most 64 handles, the listener's stop among
// them; and each sender heard may make the listener hold up to a whole
// message (kHandOverMaxBody), 256 MiB for all 32 together.
inline constexpr std::size_t kHandOverSendersAtOnce = 32;

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

}  // namespace mirvane::platform
