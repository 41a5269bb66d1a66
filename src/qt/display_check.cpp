#include "qt/display_check.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace mirvane {

namespace {

const char* environment(const char* name) {
    const char* value = std::getenv(name);
    return value && *value ? value : nullptr;
}

// A DISPLAY that is set names a server that may long be gone (a closed
// session, a forwarded display of an ended login): only a connection tells.
bool xServerReachable() {
    const char* display = environment("DISPLAY");
    if (!display) return false;
    xcb_connection_t* connection = xcb_connect(display, nullptr);
    const bool reachable = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return reachable;
}

// The compositor's socket: WAYLAND_DISPLAY itself when it is a path, else
// that name in XDG_RUNTIME_DIR.
bool waylandReachable() {
    const char* name = environment("WAYLAND_DISPLAY");
    if (!name) return false;
    std::string path = name;
    if (path.front() != '/') {
        const char* runtime = environment("XDG_RUNTIME_DIR");
        if (!runtime) return false;
        path = std::string(runtime) + "/" + path;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const bool reachable = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return reachable;
}

}  // namespace

// A platform the user named (offscreen, say) is the user's choice: trusted.
bool GraphicalSessionAvailable() {
    return environment("QT_QPA_PLATFORM") || xServerReachable() || waylandReachable();
}

}  // namespace mirvane
