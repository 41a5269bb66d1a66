#include "qt/display_check.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QPluginLoader>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>

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
// that name in XDG_RUNTIME_DIR. -1 when it cannot be reached.
int connectToWayland() {
    const char* name = environment("WAYLAND_DISPLAY");
    if (!name) return -1;
    std::string path = name;
    if (path.front() != '/') {
        const char* runtime = environment("XDG_RUNTIME_DIR");
        if (!runtime) return -1;
        path = std::string(runtime) + "/" + path;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return -1;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    // Not blocking: a listener whose queue is full never takes the connection.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return -1;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// The protocol's first round trip: the display object (1) is asked to sync
// with a new callback object (2), which the compositor answers with the
// callback's done event. Messages are words in the machine's byte order: the
// object, then the size in bytes (high half) and the opcode (low half).
constexpr std::uint32_t kDisplayObject = 1, kCallbackObject = 2, kSyncRequest = 0, kDoneEvent = 0;
constexpr auto kAnswerWait = std::chrono::seconds(1);

bool answersRoundTrip(int fd) {
    const std::uint32_t sync[] = {kDisplayObject, 12u << 16 | kSyncRequest, kCallbackObject};
    if (::send(fd, sync, sizeof sync, MSG_NOSIGNAL) != static_cast<ssize_t>(sizeof sync)) return false;
    const auto deadline = std::chrono::steady_clock::now() + kAnswerWait;
    std::string received;
    for (;;) {
        while (received.size() >= 8) {
            std::uint32_t header[2];
            std::memcpy(header, received.data(), sizeof header);
            const std::uint32_t size = header[1] >> 16;
            if (size < sizeof header) return false;
            if (header[0] == kCallbackObject && (header[1] & 0xFFFF) == kDoneEvent) return true;
            if (received.size() < size) break;
            received.erase(0, size);
        }
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd readable{fd, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&readable, 1, static_cast<int>(left.count())) <= 0) return false;
        char chunk[512];
        const ssize_t count = ::recv(fd, chunk, sizeof chunk, 0);
        if (count <= 0) return false;
        received.append(chunk, static_cast<std::size_t>(count));
    }
}

// Whether one of Qt's platform plugins, where Qt looks for them, is made for
// the platform: read from the plugins' metadata, none of them loaded.
bool qtHasPlatformPlugin(const QString& platform) {
    QStringList folders;
    if (const char* own = environment("QT_QPA_PLATFORM_PLUGIN_PATH")) folders << QFile::decodeName(own);
    for (const QString& path : QCoreApplication::libraryPaths())
        folders << path + QStringLiteral("/platforms");
    for (const QString& folder : folders) {
        const QDir plugins(folder);
        for (const QString& name : plugins.entryList(QDir::Files)) {
            const QJsonObject about =
                QPluginLoader(plugins.filePath(name)).metaData().value(QStringLiteral("MetaData")).toObject();
            if (about.value(QStringLiteral("Keys")).toArray().contains(platform)) return true;
        }
    }
    return false;
}

}  // namespace

bool WaylandCompositorAnswers() {
    const int fd = connectToWayland();
    if (fd < 0) return false;
    const bool answers = answersRoundTrip(fd);
    ::close(fd);
    return answers;
}

// The X and Wayland platforms are kept only where they can start; any other
// the user named (offscreen, say) is the user's choice, trusted.
std::string UsablePlatforms() {
    const char* chosen = environment("QT_QPA_PLATFORM");
    const std::string list = chosen ? chosen : "wayland;xcb";
    std::optional<bool> compositorAnswers;
    std::string usable;
    for (std::size_t begin = 0; begin <= list.size();) {
        const std::size_t end = std::min(list.find(';', begin), list.size());
        const std::string entry = list.substr(begin, end - begin);
        begin = end + 1;
        // A platform may carry its options after a colon ("xcb:…").
        const std::string name = entry.substr(0, entry.find(':'));
        bool starts = !name.empty();
        if (name.starts_with("wayland")) {
            if (!compositorAnswers) compositorAnswers = WaylandCompositorAnswers();
            starts = *compositorAnswers && qtHasPlatformPlugin(QString::fromStdString(name));
        } else if (name == "xcb") {
            starts = xServerReachable() && qtHasPlatformPlugin(QStringLiteral("xcb"));
        }
        if (!starts) continue;
        if (!usable.empty()) usable += ';';
        usable += entry;
    }
    return usable;
}

}  // namespace mirvane
