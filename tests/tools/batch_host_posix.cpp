// Mirvane's engine without a window, for the tests that kill it in mid-batch:
//   batch_host FOLDER run FILE...   the window's start, one batch, a normal close
//   batch_host FOLDER restore       the next start, and a normal close
// Each prints the rows it ends with, "<status> <path>" a line. A request to
// end (SIGTERM, SIGHUP, SIGINT) reaches the presenter on the UI thread, as
// the window's loop hands it on.
// FOLDER holds MovieSet.ini and ffmpeg/ffmpeg as beside the program.

#include <poll.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "engine/encoding/batch_flags.h"
#include "engine/encoding/clock.h"
#include "engine/platform/termination.h"
#include "engine/window/main_window_presenter.h"
#include "support/fake_main_window_view.h"
#include "support/queue_ui_thread.h"

int main(int argc, char* argv[]) {
    if (argc < 3) return 2;
    const std::string mode = argv[2];
    const mirvane::AppPaths paths = mirvane::AppPaths::fromExecutable(std::string(argv[1]) + "/Mirvane");
    mirvane::BatchFlags flags;
    mirvane::test::QueueUiThread uiThread;
    mirvane::test::FakeMainWindowView view;
    mirvane::SteadyClock clock;
    mirvane::MainWindowPresenter presenter(flags, uiThread, view, paths, clock);
    presenter.windowCreated(std::vector<std::string>(argv + 3, argv + argc));
    const int requests = mirvane::platform::catchTerminationRequests();
    std::atomic<bool> over = false;
    std::thread watcher([&] {
        for (pollfd ready{requests, POLLIN, 0}; !over;)
            if (::poll(&ready, 1, 50) == 1 && mirvane::platform::takeTerminationRequests())
                uiThread.post([&presenter] { presenter.terminationRequested(); });
    });
    if (mode == "run") presenter.startPressed();
    over = true;
    watcher.join();
    for (const mirvane::JobRow& row : presenter.jobs().rows())
        std::printf("%d %s\n", static_cast<int>(row.status), row.path.c_str());
    presenter.windowClosed();
    return 0;
}
