// The hand-over between two copies over a Unix socket: lists arrive whole
// and in order, a sender never waits longer than it was told, nothing
// malformed and no other user's message is taken.

#include <grp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "engine/formats/hand_over_message.h"
#include "engine/platform/posix/posix_internal.h"
#include "support/process_usage.h"
#include "support/special_files.h"
#include "support/temp_dir.h"

namespace mirvane::platform {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Files = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

// Everything a listener received, for the test thread to wait on.
class Inbox {
public:
    HandOverListener::Receiver receiver() {
        return [this](Files files) {
            std::lock_guard lock(m_lock);
            m_lists.push_back(std::move(files));
            m_changed.notify_all();
        };
    }
    // The lists once there are `count` of them, or after 5 s what there is.
    std::vector<Files> waitFor(std::size_t count) {
        std::unique_lock lock(m_lock);
        m_changed.wait_for(lock, 5s, [&] { return m_lists.size() >= count; });
        return m_lists;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<Files> m_lists;
};

class HandOver : public testing::Test {
protected:
    std::unique_ptr<HandOverListener> listen() {
        std::error_code error;
        auto listener = posix::listenForHandOver(socket, inbox.receiver(), error);
        EXPECT_TRUE(listener) << error.message();
        return listener;
    }

    // A raw connection to the listener, for what a well-behaved sender never sends.
    int connectRaw() {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, socket.c_str(), socket.size() + 1);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        EXPECT_EQ(::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        return fd;
    }

    TempDir dir;
    std::string socket = dir.file("Mirvane.socket");
    Inbox inbox;
};

TEST_F(HandOver, ListsArriveWholeAndInTheOrderSent) {
    const auto listener = listen();
    const Files first{"/v/b.avi", "/v/c d.avi", std::string("/v/\xff\x00.avi", 10)};
    const Files second{"/v/e.avi"};
    EXPECT_FALSE(posix::handOverTo(socket, first, 5s));
    EXPECT_FALSE(posix::handOverTo(socket, second, 5s));
    EXPECT_EQ(inbox.waitFor(2), (std::vector<Files>{first, second}));
}

// A copy that has taken the lock but is still making its window: a sender
// started meanwhile keeps trying and is heard once it listens.
TEST_F(HandOver, ASenderWaitsForAListenerThatIsStillStarting) {
    test::makeSocketEntry(socket);  // left by a copy that died
    std::error_code result = std::make_error_code(std::errc::interrupted);
    std::thread sender([&] { result = posix::handOverTo(socket, {"/v/a.avi"}, 5s); });
    std::this_thread::sleep_for(300ms);
    const auto listener = listen();
    sender.join();
    EXPECT_FALSE(result) << result.message();
    EXPECT_EQ(inbox.waitFor(1), (std::vector<Files>{{"/v/a.avi"}}));
}

// A socket left by a copy that died, and no copy that listens: the sender
// gives up in its time.
TEST_F(HandOver, NobodyListeningEndsTheSenderInItsTime) {
    test::makeSocketEntry(socket);
    const auto start = Clock::now();
    EXPECT_TRUE(posix::handOverTo(socket, {"/v/a.avi"}, 400ms) == std::errc::timed_out);
    const auto took = Clock::now() - start;
    EXPECT_GE(took, 400ms);
    EXPECT_LT(took, 1500ms);
}

// Only a well-formed list is handed on; the listener goes on serving after
// anything else, and a sender that sends nothing holds it only for a while.
TEST_F(HandOver, MalformedMessagesAreDroppedAndTheListenerGoesOn) {
    const auto listener = listen();
    const std::string tooLarge("\x01\0\0\x01", 4);
    const std::string cutShort = std::string("\x0a\0\0\0\x06\0\0\0", 8) + "ab";
    const std::string badBody = std::string("\x06\0\0\0\x09\0\0\0", 8) + "ab";
    for (const std::string& bytes : {tooLarge, cutShort, badBody}) {
        const int fd = connectRaw();
        ASSERT_EQ(::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size()));
        ::shutdown(fd, SHUT_WR);
        char answer = 0;
        // Closed, and reset when the listener stopped reading before the end.
        EXPECT_LE(::recv(fd, &answer, 1, 0), 0) << "no answer to a malformed message";
        ::close(fd);
    }
    const int silent = connectRaw();
    const auto start = Clock::now();
    EXPECT_FALSE(posix::handOverTo(socket, {"/v/after.avi"}, 5s));
    EXPECT_LT(Clock::now() - start, 4s);
    ::close(silent);
    EXPECT_EQ(inbox.waitFor(1), (std::vector<Files>{{"/v/after.avi"}}));
}

// Each sender is heard on its own deadline: senders that say nothing hold
// up no other, and one that announces a name longer than the system opens,
// in a message the listener would take, is dropped at once, before any of
// the name is read.
TEST_F(HandOver, SilentSendersDelayNoOtherAndAnOverlongNameIsDroppedAtOnce) {
    const auto listener = listen();
    std::vector<int> senders;  // ten silent ones, then one with a 4096-byte name
    for (int i = 0; i < 11; ++i) senders.push_back(connectRaw());
    ASSERT_EQ(::send(senders.back(), "\x04\x10\0\0\0\x10\0\0", 8, MSG_NOSIGNAL), 8);
    std::this_thread::sleep_for(100ms);
    const auto start = Clock::now();
    EXPECT_FALSE(posix::handOverTo(socket, {"/v/real.avi"}, 3s));
    EXPECT_LT(Clock::now() - start, 2500ms) << "held up by the silent senders";
    EXPECT_EQ(inbox.waitFor(1), (std::vector<Files>{{"/v/real.avi"}}));
    pollfd closed{senders.back(), POLLIN, 0};
    ASSERT_EQ(::poll(&closed, 1, 0), 1) << "the overlong sender is still heard";
    char answer = 0;
    EXPECT_LE(::recv(senders.back(), &answer, 1, 0), 0);
    for (const int fd : senders) ::close(fd);
}

// A sender that connects and says nothing is dropped at its deadline, and
// the listener sleeps meanwhile rather than looking again and again.
TEST_F(HandOver, ASilentSenderIsDroppedAtItsDeadlineWhileTheListenerSleeps) {
    const auto listener = listen();
    const int silent = connectRaw();
    const auto start = Clock::now();
    const long long cpuBefore = test::cpuMicroseconds();
    pollfd dropped{silent, POLLIN, 0};
    ASSERT_EQ(::poll(&dropped, 1, 5000), 1) << "still heard after 5 s";
    const auto heard = Clock::now() - start;
    EXPECT_LT(test::cpuMicroseconds() - cpuBefore, 100'000) << "the listener spun while it waited";
    EXPECT_GE(heard, kHandOverSenderDeadline - 100ms);
    EXPECT_LT(heard, kHandOverSenderDeadline + 1s);
    char answer = 0;
    EXPECT_LE(::recv(silent, &answer, 1, 0), 0);
    ::close(silent);
}

TEST_F(HandOver, StoppingEndsAtOnceAndRemovesTheSocket) {
    auto listener = listen();
    const int silent = connectRaw();  // the listener waits for its message
    std::this_thread::sleep_for(100ms);
    const auto start = Clock::now();
    listener.reset();
    EXPECT_LT(Clock::now() - start, 1s);
    ::close(silent);
    EXPECT_FALSE(fs::exists(fs::symlink_status(socket)));
    EXPECT_TRUE(posix::handOverTo(socket, {"/v/a.avi"}, 100ms) == std::errc::timed_out);
}

// The sender run as another user: the exit code and what it printed.
struct Sent {
    int code;
    std::string error;
};
Sent sendAsUser(uid_t uid, const std::string& socket, const std::string& file) {
    int output[2];
    if (::pipe(output) != 0) return {-1, "no pipe"};
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(output[1], STDERR_FILENO);
        if (::setgroups(0, nullptr) != 0 || ::setgid(uid) != 0 || ::setuid(uid) != 0) ::_exit(126);
        ::execl(MIRVANE_HAND_OVER_SEND, MIRVANE_HAND_OVER_SEND, socket.c_str(), "2000", file.c_str(),
                nullptr);
        ::_exit(127);
    }
    ::close(output[1]);
    std::string text;
    char buffer[256];
    for (ssize_t got; (got = ::read(output[0], buffer, sizeof buffer)) > 0;) text.append(buffer, got);
    ::close(output[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!text.empty() && text.back() == '\n') text.pop_back();
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text};
}

// The lock folder keeps other users away from the socket; should it ever
// let one through, the listener still refuses what that user sends.
TEST_F(HandOver, AnotherUsersMessageIsRefused) {
    if (::geteuid() != 0) GTEST_SKIP() << "sends as another user, which takes root";
    const auto listener = listen();
    const uid_t other = 65534;
    fs::permissions(dir.path(), fs::perms::others_exec, fs::perm_options::remove);
    const Sent throughClosedFolder = sendAsUser(other, socket, "/v/closed.avi");
    EXPECT_EQ(throughClosedFolder.code, 1);
    EXPECT_EQ(throughClosedFolder.error, std::system_category().message(EACCES));

    fs::permissions(dir.path(), fs::perms::others_exec, fs::perm_options::add);
    ASSERT_EQ(::chmod(socket.c_str(), 0777), 0);
    const Sent throughOpenSocket = sendAsUser(other, socket, "/v/open.avi");
    EXPECT_EQ(throughOpenSocket.code, 1);
    // Closed on it without an answer: the sender sees that either while it
    // still sends or while it waits for the answer.
    const std::set<std::string> refusals{std::system_category().message(ECONNABORTED),
                                         std::system_category().message(EPIPE),
                                         std::system_category().message(ECONNRESET)};
    EXPECT_TRUE(refusals.contains(throughOpenSocket.error)) << throughOpenSocket.error;

    EXPECT_EQ(sendAsUser(::geteuid(), socket, "/v/own.avi").code, 0);
    EXPECT_EQ(inbox.waitFor(1), (std::vector<Files>{{"/v/own.avi"}}));
}

}  // namespace
}  // namespace mirvane::platform
