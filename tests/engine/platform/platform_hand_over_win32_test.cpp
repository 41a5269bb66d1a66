// The hand-over over the user's named pipe: the Linux program's message,
// lists whole and in order, a sender that waits for a listener still
// starting but never longer than it was told, a name no one else can take.

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <future>

#include "engine/platform/hand_over.h"

namespace mirvane::platform {
namespace {

using namespace std::chrono_literals;
using Files = std::vector<std::string>;

struct HandOver : testing::Test {
    std::unique_ptr<HandOverListener> listen() {
        std::error_code error;
        auto listener = HandOverListener::start(
            name, [this](Files files) { received.set_value(files); }, error);
        EXPECT_TRUE(listener) << error.message();
        return listener;
    }
    Files waitForFiles() {
        auto arrived = received.get_future();
        return arrived.wait_for(5s) == std::future_status::ready ? arrived.get() : Files{};
    }

    const std::string name = "MirvaneTest-" + std::to_string(GetCurrentProcessId());
    std::promise<Files> received;
};

TEST_F(HandOver, AListArrivesWholeAndASecondListenerIsRefused) {
    const auto listener = listen();
    const Files files{"C:\\v\\b.avi", "C:\\v\\ビデオ 1.avi", std::string("C:\\v\\\xff\x00.avi", 11)};
    EXPECT_FALSE(handOverFiles(name, files, 5s));
    EXPECT_EQ(waitForFiles(), files);
    std::error_code error;
    EXPECT_FALSE(HandOverListener::start(
        name, [](Files) {}, error))
        << "the name is taken";
}

TEST_F(HandOver, ASenderWaitsForAListenerThatIsStillStarting) {
    auto sent = std::async(std::launch::async, [&] { return handOverFiles(name, {"C:\\a.avi"}, 5s); });
    std::this_thread::sleep_for(300ms);
    const auto listener = listen();
    EXPECT_FALSE(sent.get());
    EXPECT_EQ(waitForFiles(), Files{"C:\\a.avi"});
}

TEST_F(HandOver, NobodyListeningEndsTheSenderInItsTime) {
    listen().reset();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(handOverFiles(name, {"C:\\a.avi"}, 400ms));
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, 400ms);
    EXPECT_LT(took, 1500ms);
}

}  // namespace
}  // namespace mirvane::platform
