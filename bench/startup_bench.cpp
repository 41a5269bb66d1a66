// Time from the process's start until the main window is shown, and the
// peak memory by then. Prints table rows; never fails on a number.

#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QTest>
#include <fstream>
#include <sstream>

#include "bench_support.h"

namespace {

// Seconds since this process was started, from the kernel's own records, so
// that loading the program and its libraries counts too.
double secondsSinceProcessStart() {
    std::ifstream stat("/proc/self/stat");
    std::string line;
    std::getline(stat, line);
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    std::string field;
    for (int i = 3; i <= 22; ++i) fields >> field;  // field 22: start time in clock ticks
    double uptime = 0;
    std::ifstream("/proc/uptime") >> uptime;
    return uptime - std::stod(field) / ::sysconf(_SC_CLK_TCK);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace mirvane::bench;
    chooseDisplay();
    QApplication app(argc, argv);
    Program program(shippedSettings(), systemEncoder());
    const bool shown = QTest::qWaitForWindowExposed(&program.window());
    const double startup = secondsSinceProcessStart();
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const double peakMb = usage.ru_maxrss / 1024.0;
    printRow("start-up until the window is shown (" + QApplication::platformName().toStdString() + ")",
             format("%.3f s", startup) + (shown ? "" : " (never shown)"), "<= 0.3 s",
             shown && startup <= 0.3);
    printRow("peak memory at start-up", format("%.1f MB", peakMb), "<= 80 MB", peakMb <= 80);
    return 0;
}
