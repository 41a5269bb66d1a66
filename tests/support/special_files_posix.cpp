#include "support/special_files.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <stdexcept>
#include <system_error>

namespace mirvane::test {

void makeFifo(const std::string& path) {
    if (::mkfifo(path.c_str(), 0644) != 0) throw std::system_error(errno, std::system_category(), path);
}

void makeSocketEntry(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) throw std::length_error("socket path too long: " + path);
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        const int error = errno;
        if (fd >= 0) ::close(fd);
        throw std::system_error(error, std::system_category(), path);
    }
    ::close(fd);
}

FifoRescue::FifoRescue(std::string path) : m_path(std::move(path)) {
    m_thread = std::thread([this] {
        std::unique_lock lock(m_lock);
        // Far longer than any non-blocking open takes, even under a sanitizer.
        if (m_finished.wait_for(lock, std::chrono::seconds(5), [this] { return m_done; })) return;
        m_fd = ::open(m_path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        m_rescued = true;
    });
}

bool FifoRescue::rescued() {
    {
        std::lock_guard lock(m_lock);
        m_done = true;
    }
    m_finished.notify_all();
    if (m_thread.joinable()) m_thread.join();
    return m_rescued;
}

FifoRescue::~FifoRescue() {
    rescued();
    if (m_fd >= 0) ::close(m_fd);
}

}  // namespace mirvane::test
