// The UI-thread dispatcher over the Win32 message queue: calls from workers
// run on the UI thread in order, invoke waits for its call, and the waiting
// loop sleeps in the system until a message or its time comes.

#include "win32/win32_ui_thread.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace mirvane::win32 {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

double threadCpuSeconds() {
    FILETIME created, exited, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
    auto seconds = [](FILETIME time) {
        return (static_cast<unsigned long long>(time.dwHighDateTime) << 32 | time.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

TEST(Win32UiThread, WorkerCallsRunOnTheUiThreadInTheirOrderEvenByTheTenThousand) {
    Win32UiThread ui;
    const DWORD uiThread = GetCurrentThreadId();
    constexpr int kCalls = 20000;  // twice what a thread's message queue holds
    std::vector<int> order;
    std::atomic<int> elsewhere{0};
    std::thread worker([&] {
        for (int i = 0; i < kCalls; ++i)
            ui.post([&, i] {
                if (GetCurrentThreadId() != uiThread) ++elsewhere;
                order.push_back(i);
            });
    });
    worker.join();
    const auto deadline = Clock::now() + 10s;
    while (static_cast<int>(order.size()) < kCalls && Clock::now() < deadline) ui.processEvents(10ms);
    ASSERT_EQ(static_cast<int>(order.size()), kCalls);
    EXPECT_EQ(elsewhere, 0);
    for (int i = 0; i < kCalls; ++i) ASSERT_EQ(order[static_cast<std::size_t>(i)], i);
}

TEST(Win32UiThread, InvokeReturnsOnlyOnceTheCallHasRun) {
    Win32UiThread ui;
    std::atomic<bool> ran{false}, returned{false}, sawRun{false};
    std::thread worker([&] {
        ui.invoke([&] {
            std::this_thread::sleep_for(50ms);
            ran = true;
        });
        sawRun = ran.load();
        returned = true;
    });
    std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(returned) << "returned before the UI thread ran the call";
    while (!returned) ui.processEvents(10ms);
    worker.join();
    EXPECT_TRUE(sawRun);
}

// The stop watchdog's timed wait: it sleeps for its time, not on the processor.
TEST(Win32UiThread, ATimedWaitWithoutMessagesSleepsItsTimeWithoutSpinning) {
    Win32UiThread ui;
    ui.processEvents(0ms);  // whatever the queue held at the start
    const double cpuBefore = threadCpuSeconds();
    const auto start = Clock::now();
    ui.processEvents(300ms);
    const auto waited = Clock::now() - start;
    EXPECT_GE(waited, 280ms);
    EXPECT_LT(waited, 600ms);
    EXPECT_LT(threadCpuSeconds() - cpuBefore, 0.05);
}

TEST(Win32UiThread, AnUntimedWaitEndsWithTheNextPostedCall) {
    Win32UiThread ui;
    ui.processEvents(0ms);
    bool ran = false;
    std::thread worker([&] {
        std::this_thread::sleep_for(100ms);
        ui.post([&] { ran = true; });
    });
    const auto start = Clock::now();
    while (!ran) ui.processEvents(std::nullopt);
    const auto waited = Clock::now() - start;
    worker.join();
    EXPECT_GE(waited, 90ms);
    EXPECT_LT(waited, 1s);
}

// A quit taken from the queue by the batch's waiting loop ends the outer
// loop once control is back there; the waiting loop itself goes on.
TEST(Win32UiThread, AQuitSeenWhileWaitingEndsTheMessageLoopAfterwards) {
    Win32UiThread ui;
    PostQuitMessage(7);
    ui.processEvents(0ms);
    bool laterCall = false;
    ui.post([&] { laterCall = true; });
    ui.processEvents(100ms);
    EXPECT_TRUE(laterCall);
    EXPECT_EQ(ui.run(), 7);
}

TEST(Win32UiThread, TheFilterSeesMessagesFirstAndMayKeepThem) {
    Win32UiThread ui;
    HWND target = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    std::vector<UINT> filtered;
    ui.setMessageFilter([&](MSG& message) {
        if (message.hwnd != target) return false;
        filtered.push_back(message.message);
        return message.message == WM_APP + 5;
    });
    PostMessageW(target, WM_APP + 5, 0, 0);
    PostMessageW(target, WM_NULL, 0, 0);
    ui.processEvents(0ms);
    EXPECT_EQ(filtered, (std::vector<UINT>{WM_APP + 5, WM_NULL}));
    DestroyWindow(target);
}

}  // namespace
}  // namespace mirvane::win32
