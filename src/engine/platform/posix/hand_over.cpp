// Files handed from a second copy to the running one over a Unix socket in
// the per-user lock folder. The folder is this user's alone (checked when
// the lock is taken), which keeps every other user from reaching the socket;
// the listener also asks the system who connected and hears only its own
// user.

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <thread>
#include <utility>

#include "engine/formats/hand_over_message.h"
#include "engine/platform/hand_over.h"
#include "engine/platform/posix/posix_internal.h"

namespace mirvane::platform {

namespace posix {

namespace {

using Clock = std::chrono::steady_clock;

// What a listener answers once it has the files: the sender may end.
constexpr char kTaken = 'T';
// Between attempts to reach a copy that has taken the lock but does not
// listen yet.
constexpr auto kRetryPause = std::chrono::milliseconds(20);

std::error_code systemError(int code) { return {code, std::system_category()}; }

bool socketAddress(const std::string& path, sockaddr_un& address) {
    address = {};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

class Deadline {
public:
    explicit Deadline(Clock::duration timeout) : m_end(Clock::now() + timeout) {}
    bool passed() const { return Clock::now() >= m_end; }
    int millisecondsLeft() const {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(m_end - Clock::now()).count();
        return left > 0 ? static_cast<int>(left) : 0;
    }

private:
    Clock::time_point m_end;
};

enum class Wait { Ready, TimedOut, Failed };

// Waits until fd has one of the events or the deadline passes.
Wait waitFor(int fd, short events, const Deadline& deadline) {
    for (;;) {
        pollfd fds{fd, events, 0};
        const int ready = ::poll(&fds, 1, deadline.millisecondsLeft());
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) return Wait::Failed;
        if (ready == 0) return Wait::TimedOut;
        return Wait::Ready;
    }
}

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    Descriptor(Descriptor&& other) noexcept : m_fd(other.release()) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() { reset(); }
    int get() const { return m_fd; }
    int release() { return std::exchange(m_fd, -1); }
    void reset(int fd = -1) {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd;
};

class SocketListener final : public HandOverListener {
public:
    SocketListener(int listening, std::string path, Receiver receiver)
        : m_listening(listening), m_path(std::move(path)), m_receiver(std::move(receiver)) {}

    std::error_code start() {
        int stop[2];
        if (::pipe2(stop, O_CLOEXEC) != 0) return lastError();
        m_stopRead.reset(stop[0]);
        m_stopWrite.reset(stop[1]);
        try {
            m_thread = std::thread([this] { run(); });
        } catch (const std::system_error& error) {
            return error.code();
        }
        return {};
    }

    ~SocketListener() override {
        if (m_thread.joinable()) {
            const char stop = 0;
            while (::write(m_stopWrite.get(), &stop, 1) < 0 && errno == EINTR) {
            }
            m_thread.join();
        }
        // Copies started from now on find no one listening and end as
        // they did before the hand-over existed.
        ::unlink(m_path.c_str());
    }

private:
    // One sender being heard: its own deadline, its message as read so far.
    struct Sender {
        Descriptor connection;
        Clock::time_point deadline;
        HandOverReader reader;
    };

    // Every sender is heard at once, each until its own deadline: one that
    // connects and sends nothing, or sends slowly, holds up no other.
    void run() {
        std::vector<Sender> senders;
        for (;;) {
            std::vector<pollfd> fds{
                {m_stopRead.get(), POLLIN, 0},
                {m_listening.get(), static_cast<short>(senders.size() < kHandOverSendersAtOnce ? POLLIN : 0),
                 0}};
            Clock::time_point next = Clock::time_point::max();
            for (const Sender& sender : senders) {
                fds.push_back({sender.connection.get(), POLLIN, 0});
                next = std::min(next, sender.deadline);
            }
            int timeout = -1;
            if (next != Clock::time_point::max()) {
                const auto left = std::chrono::ceil<std::chrono::milliseconds>(next - Clock::now()).count();
                timeout = static_cast<int>(std::max<decltype(left)>(left, 0));
            }
            if (::poll(fds.data(), fds.size(), timeout) < 0) {
                if (errno == EINTR) continue;
                return;
            }
            if (fds[0].revents != 0) return;
            const auto now = Clock::now();
            std::size_t kept = 0;
            for (std::size_t i = 0; i < senders.size(); ++i) {
                const bool open = (fds[i + 2].revents == 0 || hear(senders[i])) && now < senders[i].deadline;
                if (!open) continue;
                if (kept != i) senders[kept] = std::move(senders[i]);
                ++kept;
            }
            senders.resize(kept);
            if (fds[1].revents != 0) accept(senders);
        }
    }

    void accept(std::vector<Sender>& senders) {
        Descriptor connection(::accept4(m_listening.get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
        // A sender that gave up before it was accepted is simply gone.
        if (connection.get() < 0) return;
        unsigned peer = 0;
        if (!peerUserId(connection.get(), peer) || peer != ::geteuid()) return;
        senders.push_back({std::move(connection), Clock::now() + kHandOverSenderDeadline, HandOverReader()});
    }

    // Reads what the sender has sent, never more than its message may still
    // hold; false once the sender is done with, answered or dropped. A list
    // is handed on and answered; anything else is dropped without an answer.
    bool hear(Sender& sender) {
        char buffer[64 * 1024];
        const std::size_t wanted = std::min(sender.reader.wanted(), sizeof buffer);
        const ssize_t got = ::recv(sender.connection.get(), buffer, wanted, 0);
        if (got < 0) return errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK;
        if (got == 0) return false;
        const HandOverReader::State state = sender.reader.take({buffer, static_cast<std::size_t>(got)});
        if (state == HandOverReader::State::Reading) return true;
        if (state == HandOverReader::State::Refused) return false;
        m_receiver(sender.reader.takeFiles());
        // The sender ends either way; a full or closed connection changes nothing here.
        (void)::send(sender.connection.get(), &kTaken, 1, MSG_NOSIGNAL);
        return false;
    }

    Descriptor m_listening;
    std::string m_path;
    Receiver m_receiver;
    Descriptor m_stopRead;
    Descriptor m_stopWrite;
    std::thread m_thread;
};

// One attempt to connect: the connected socket, or -1 with the reason.
int connectTo(const sockaddr_un& address, std::error_code& error) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        error = lastError();
        return -1;
    }
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return fd;
    error = lastError();
    ::close(fd);
    return -1;
}

// A copy that holds the lock may not listen yet (it is starting up), or
// its queue of waiting senders may be full: both pass.
bool worthRetrying(const std::error_code& error) {
    return error == std::errc::no_such_file_or_directory || error == std::errc::connection_refused ||
           error == std::errc::resource_unavailable_try_again || error == std::errc::interrupted;
}

}  // namespace

std::unique_ptr<HandOverListener> listenForHandOver(const std::string& socketPath,
                                                    HandOverListener::Receiver receiver,
                                                    std::error_code& error) {
    sockaddr_un address;
    if (!socketAddress(socketPath, address)) {
        error = systemError(ENAMETOOLONG);
        return nullptr;
    }
    Descriptor listening(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (listening.get() < 0) {
        error = lastError();
        return nullptr;
    }
    // Whatever is there was left by a copy that died: the caller holds the
    // lock, so no other copy listens there now.
    if (::unlink(socketPath.c_str()) != 0 && errno != ENOENT) {
        error = lastError();
        return nullptr;
    }
    if (::bind(listening.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listening.get(), SOMAXCONN) != 0) {
        error = lastError();
        return nullptr;
    }
    auto listener = std::make_unique<SocketListener>(listening.release(), socketPath, std::move(receiver));
    error = listener->start();
    if (error) return nullptr;
    return listener;
}

std::error_code handOverTo(const std::string& socketPath, const std::vector<std::string>& files,
                           std::chrono::milliseconds timeout) {
    const std::optional<std::string> message = EncodeHandOver(files);
    if (!message) return systemError(EMSGSIZE);
    sockaddr_un address;
    if (!socketAddress(socketPath, address)) return systemError(ENAMETOOLONG);

    const Deadline deadline(timeout);
    std::error_code error;
    Descriptor connection;
    for (;;) {
        connection.reset(connectTo(address, error));
        if (connection.get() >= 0) break;
        if (!worthRetrying(error)) return error;
        if (deadline.passed()) return systemError(ETIMEDOUT);
        std::this_thread::sleep_for(std::min<Clock::duration>(kRetryPause, timeout));
    }

    std::string_view left = *message;
    while (!left.empty()) {
        const ssize_t sent = ::send(connection.get(), left.data(), left.size(), MSG_NOSIGNAL);
        if (sent >= 0) {
            left.remove_prefix(static_cast<std::size_t>(sent));
            continue;
        }
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return lastError();
        const Wait wait = waitFor(connection.get(), POLLOUT, deadline);
        if (wait == Wait::TimedOut) return systemError(ETIMEDOUT);
        if (wait != Wait::Ready) return lastError();
    }
    for (;;) {
        char answer = 0;
        const ssize_t got = ::recv(connection.get(), &answer, 1, 0);
        if (got == 1 && answer == kTaken) return {};
        // Closed without the answer: the listener refused the message.
        if (got >= 0) return systemError(ECONNABORTED);
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return lastError();
        const Wait wait = waitFor(connection.get(), POLLIN, deadline);
        if (wait == Wait::TimedOut) return systemError(ETIMEDOUT);
        if (wait != Wait::Ready) return lastError();
    }
}

}  // namespace posix

namespace {

std::string socketPathFor(const std::string& name) {
    return posix::userLockFolder() + "/" + name + ".socket";
}

}  // namespace

std::unique_ptr<HandOverListener> HandOverListener::start(const std::string& name, Receiver receiver,
                                                          std::error_code& error) {
    return posix::listenForHandOver(socketPathFor(name), std::move(receiver), error);
}

std::error_code handOverFiles(const std::string& name, const std::vector<std::string>& files,
                              std::chrono::milliseconds timeout) {
    return posix::handOverTo(socketPathFor(name), files, timeout);
}

}  // namespace mirvane::platform
