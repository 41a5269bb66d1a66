// The hand-over between two copies over the user's named pipe: the message
// of the Linux program, lists whole and in order, a sender that waits for a
// listener still starting and never longer than it was told, and a name that
// no one else can take over.

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "engine/platform/hand_over.h"

namespace mirvane::platform {
namespace {

using namespace std::chrono_literals;
using Files = std::vector<std::string>;

class HandOver : public testing::Test {
protected:
    std::unique_ptr<HandOverListener> listen() {
        std::error_code error;
        auto listener = HandOverListener::start(name, [this](Files files) {
            std::lock_guard lock(m_lock);
            m_lists.push_back(std::move(files));
            m_changed.notify_all();
        }, error);
        EXPECT_TRUE(listener) << error.message();
        return listener;
    }
    std::vector<Files> waitFor(std::size_t count) {
        std::unique_lock lock(m_lock);
        m_changed.wait_for(lock, 5s, [&] { return m_lists.size() >= count; });
        return m_lists;
    }

    const std::string name = "MirvaneTest-" + std::to_string(GetCurrentProcessId());

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<Files> m_lists;
};

TEST_F(HandOver, ListsArriveWholeAndInTheOrderSentAndASecondListenerIsRefused) {
    const auto listener = listen();
    const Files first{"C:\\v\\b.avi", "C:\\v\\ビデオ 1.avi", std::string("C:\\v\\\xff\x00.avi", 11)};
    const Files second{"D:\\e.avi"};
    EXPECT_FALSE(handOverFiles(name, first, 5s));
    EXPECT_FALSE(handOverFiles(name, second, 5s));
    EXPECT_EQ(waitFor(2), (std::vector<Files>{first, second}));

    std::error_code error;
    EXPECT_FALSE(HandOverListener::start(name, [](Files) {}, error)) << "the name is taken";
    EXPECT_TRUE(error);
}

TEST_F(HandOver, ASenderWaitsForAListenerThatIsStillStarting) {
    std::error_code result = std::make_error_code(std::errc::interrupted);
    std::thread sender([&] { result = handOverFiles(name, {"C:\\a.avi"}, 5s); });
    std::this_thread::sleep_for(300ms);
    const auto listener = listen();
    sender.join();
    EXPECT_FALSE(result) << result.message();
    EXPECT_EQ(waitFor(1), (std::vector<Files>{{"C:\\a.avi"}}));
}

TEST_F(HandOver, NobodyListeningEndsTheSenderInItsTimeAndAStoppedListenerFreesTheName) {
    listen().reset();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(handOverFiles(name, {"C:\\a.avi"}, 400ms));
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, 400ms);
    EXPECT_LT(took, 1500ms);
    EXPECT_TRUE(listen()) << "a copy started after this one's end may listen";
}

}  // namespace
}  // namespace mirvane::platform
