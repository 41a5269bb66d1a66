// The hand-over over the user's named pipe: the Linux program's message,
// lists whole and in order, a sender that waits for a listener still
// starting but never longer than it was told, a name no one else can take.

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "engine/platform/hand_over.h"
#include "engine/platform/win32/win32_internal.h"
#include "support/process_usage.h"

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

    // A raw connection to the listener, for what a well-behaved sender never sends.
    win32::Handle connectRaw() {
        std::error_code error;
        DWORD session = 0;
        ProcessIdToSessionId(GetCurrentProcessId(), &session);
        const std::wstring pipe = L"\\\\.\\pipe\\" + win32::toWide(name) + L"-" + win32::userSid(error) +
                                  L"-" + std::to_wstring(session);
        return win32::Handle(
            CreateFileW(pipe.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
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

// Each sender is heard on an instance of its own with its own deadline:
// senders that say nothing hold up no other, and one that announces a name
// longer than the system opens, in a message the listener would take, is
// dropped at once.
TEST_F(HandOver, SilentSendersDelayNoOtherAndAnOverlongNameIsDroppedAtOnce) {
    const auto listener = listen();
    std::vector<win32::Handle> senders;  // ten silent ones, then one with a name of 98,302 bytes
    for (int i = 0; i < 11; ++i) {
        senders.push_back(connectRaw());
        ASSERT_TRUE(senders.back()) << win32::lastError().message();
    }
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(senders.back().get(), "\x02\x80\x01\0\xfe\xff\x01\0", 8, &written, nullptr));
    std::this_thread::sleep_for(100ms);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(handOverFiles(name, {"C:\\v\\real.avi"}, 3s));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2500ms) << "held up by the silent senders";
    EXPECT_EQ(waitForFiles(), Files{"C:\\v\\real.avi"});
    DWORD available = 0;
    EXPECT_FALSE(PeekNamedPipe(senders.back().get(), nullptr, 0, nullptr, &available, nullptr))
        << "the overlong sender is still heard";
}

// A sender that connects and says nothing is dropped at its deadline, and
// the listener sleeps meanwhile rather than looking again and again.
TEST_F(HandOver, ASilentSenderIsDroppedAtItsDeadlineWhileTheListenerSleeps) {
    const auto listener = listen();
    const win32::Handle silent = connectRaw();
    ASSERT_TRUE(silent) << win32::lastError().message();
    const auto start = std::chrono::steady_clock::now();
    const long long cpuBefore = test::cpuMicroseconds();
    DWORD available = 0;
    while (PeekNamedPipe(silent.get(), nullptr, 0, nullptr, &available, nullptr) &&
           std::chrono::steady_clock::now() - start < 5s)
        std::this_thread::sleep_for(20ms);
    const auto heard = std::chrono::steady_clock::now() - start;
    EXPECT_LT(test::cpuMicroseconds() - cpuBefore, 100'000) << "the listener spun while it waited";
    EXPECT_GE(heard, kHandOverSenderDeadline - 100ms);
    EXPECT_LT(heard, kHandOverSenderDeadline + 1s);
}

}  // namespace
}  // namespace mirvane::platform
