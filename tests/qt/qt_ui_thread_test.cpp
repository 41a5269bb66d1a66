#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <atomic>
#include <ctime>
#include <fstream>
#include <thread>

#include "qt/qt_ui_thread.h"
#include "ui_test_main.h"

namespace mirvane {
namespace {

using namespace std::chrono_literals;

TEST(QtUiThread, InvokeRunsOnTheUiThreadAndReturnsAfterwards) {
    QtUiThread ui;
    QThread* ranOn = nullptr;
    std::atomic<bool> ranBeforeReturn = false;
    std::atomic<bool> returned = false;
    std::thread worker([&] {
        bool ran = false;
        ui.invoke([&] {
            ranOn = QThread::currentThread();
            ran = true;
        });
        ranBeforeReturn = ran;
        returned = true;
    });
    while (!returned) ui.processEvents(50ms);
    worker.join();
    EXPECT_EQ(ranOn, QCoreApplication::instance()->thread());
    EXPECT_TRUE(ranBeforeReturn);
}

TEST(QtUiThread, PostRunsAtTheNextTurnOfTheLoop) {
    QtUiThread ui;
    int runs = 0;
    ui.post([&] { ++runs; });
    EXPECT_EQ(runs, 0);
    ui.processEvents(0ms);
    EXPECT_EQ(runs, 1);
}

TEST(QtUiThread, WaitWithoutLimitEndsWithAPostFromAnotherThread) {
    QtUiThread ui;
    bool ran = false;
    std::thread worker([&] {
        std::this_thread::sleep_for(100ms);
        ui.post([&] { ran = true; });
    });
    QElapsedTimer clock;
    clock.start();
    while (!ran && clock.elapsed() < 5000) ui.processEvents(std::nullopt);
    worker.join();
    EXPECT_TRUE(ran);
}

TEST(QtUiThread, IdleWaitSleepsInsteadOfSpinning) {
    QtUiThread ui;
    QCoreApplication::processEvents();
    QElapsedTimer clock;
    clock.start();
    std::clock_t cpuBefore = std::clock();
    int passes = 0;
    while (clock.elapsed() < 400) {
        ui.processEvents(100ms);
        ++passes;
    }
    double cpuMs = 1000.0 * double(std::clock() - cpuBefore) / CLOCKS_PER_SEC;
    // Four waits of 100 ms, give or take a stray event; a spinning loop
    // would pass thousands of times and burn the whole 400 ms.
    EXPECT_LE(passes, 20);
    EXPECT_LT(cpuMs, 100.0);
    EXPECT_LT(clock.elapsed(), 1000);
}

// How long this thread has been ready to run but waiting for a processor.
std::chrono::nanoseconds waitedForAProcessor() {
    std::ifstream stat("/proc/thread-self/schedstat");
    long long running = 0, waiting = 0;
    stat >> running >> waiting;
    return std::chrono::nanoseconds(waiting);
}

TEST(QtUiThread, ALongWaitEndsOnTime) {
    // The stop watchdog relies on it: 2.5 s of grace, not 2.5 s and a bit.
    // What a loaded machine adds, the thread woken but left waiting for a
    // processor, is the machine's and not the wait's.
    QtUiThread ui;
    QCoreApplication::processEvents();
    QElapsedTimer clock;
    const auto queuedBefore = waitedForAProcessor();
    clock.start();
    while (clock.elapsed() < 2500) ui.processEvents(std::chrono::milliseconds(2500 - clock.elapsed()));
    const auto late =
        std::chrono::nanoseconds(clock.nsecsElapsed()) - 2500ms - (waitedForAProcessor() - queuedBefore);
    EXPECT_LT(late, 20ms);
}

}  // namespace
}  // namespace mirvane
