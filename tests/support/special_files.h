#pragma once
// Directory entries that are not regular files, for tests of code that must
// neither write through them nor block on them.

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace mirvane::test {

// A FIFO at the path (throws when it cannot be made).
void makeFifo(const std::string& path);
// A Unix socket's entry at the path, left behind by a bound socket.
void makeSocketEntry(const std::string& path);

// Opens the FIFO's reading end if the code under test has not finished
// within a few seconds, so that code that blocks on the FIFO makes its test
// fail instead of hanging it. The reading end stays open until the object
// goes, so that writes through it do not raise SIGPIPE.
class FifoRescue {
public:
    explicit FifoRescue(std::string path);
    ~FifoRescue();
    FifoRescue(const FifoRescue&) = delete;
    FifoRescue& operator=(const FifoRescue&) = delete;

    // Call once the code under test has returned: whether it needed rescuing.
    bool rescued();

private:
    std::string m_path;
    std::mutex m_lock;
    std::condition_variable m_finished;
    bool m_done = false;
    bool m_rescued = false;
    int m_fd = -1;
    std::thread m_thread;
};

}  // namespace mirvane::test
