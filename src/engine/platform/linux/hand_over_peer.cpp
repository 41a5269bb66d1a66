// The Linux call behind the hand-over: who is at the other end of a socket.

#include <sys/socket.h>

#include "engine/platform/posix/posix_internal.h"

namespace mirvane::platform::posix {

bool peerUserId(int socket, unsigned& uid) {
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (::getsockopt(socket, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0) return false;
    uid = credentials.uid;
    return true;
}

}  // namespace mirvane::platform::posix
