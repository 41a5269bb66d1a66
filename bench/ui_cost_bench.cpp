// The front end's own processor use as a user gets it: the real program in a
// real window on the X server of $DISPLAY, the start button clicked with the
// pointer (which stays over the window), an encoder that reports progress
// twice a second. Every thread of the program is counted with the kernel's
// exact run time (/proc/PID/task/*/schedstat), over the middle of the job.
// Prints table rows; never fails on a number.
//
//   ui_cost_bench fake|ffmpeg [SECONDS] [JOBS]
//
// With JOBS above one, as many inputs convert at once.

#include <signal.h>

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>

#include "bench_support.h"

namespace mirvane::bench {
namespace {

// Nanoseconds each thread of the process has run, by thread id.
std::map<int, long long> threadRunTimes(qint64 pid) {
    std::map<int, long long> times;
    const QString tasks = QString("/proc/%1/task").arg(pid);
    for (const QString& tid : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        std::ifstream schedstat((tasks + "/" + tid + "/schedstat").toStdString());
        long long ns = 0;
        if (schedstat >> ns) times[tid.toInt()] = ns;
    }
    return times;
}

QString run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(30000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

void measure(const std::string& name, const std::string& encoder, const std::string& option, int seconds,
             const QStringList& inputs) {
    TempDir dir;
    std::filesystem::copy_file(MIRVANE_PROGRAM, dir.file("Mirvane"));
    dir.write("MovieSet.ini", "[List]\nListTitle00=Bench\nListOption00=" + option +
                                  "\nListExt00=.out\n[Option]\nJobs=" + std::to_string(inputs.size()) + "\n");
    std::filesystem::create_directory(dir.file("ffmpeg"));
    std::filesystem::create_symlink(encoder, dir.file("ffmpeg/ffmpeg"));

    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "xcb");
    program.setProcessEnvironment(environment);
    program.start(QString::fromStdString(dir.file("Mirvane")), inputs);
    const QString window = run("xdotool", {"search", "--sync", "--onlyvisible", "--name", "^Mirvane"});
    if (window.isEmpty() || !program.waitForStarted()) {
        std::fprintf(stderr, "the window did not appear\n");
        return;
    }
    const qint64 pid = program.processId();
    QThread::msleep(500);
    const auto beforeClick = threadRunTimes(pid);
    // The pointer presses the start button and stays over the window.
    run("xdotool", {"mousemove", "--window", window.split('\n').first(), "46", "26", "click", "1"});
    QThread::msleep(1500);

    const auto start = threadRunTimes(pid);
    const auto startWall = std::chrono::steady_clock::now();
    QThread::sleep(static_cast<unsigned long>(seconds - 3));
    const auto end = threadRunTimes(pid);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - startWall).count();

    long long all = 0, ui = 0, worker = 0;
    for (const auto& [tid, ns] : end) {
        const auto before = start.find(tid);
        const long long used = ns - (before == start.end() ? 0 : before->second);
        all += used;
        if (tid == pid) ui += used;
        // The job's thread is the one that came with the click.
        if (!beforeClick.contains(tid)) worker += used;
    }
    program.waitForFinished(seconds * 1000);
    ::kill(static_cast<pid_t>(pid), SIGKILL);
    program.waitForFinished();

    const double updates = 2 * wall * static_cast<double>(inputs.size());  // each encoder twice a second
    const double share = all / 1e9 / wall;
    printRow("whole program CPU per wall second, " + name, format("%.4f", share), "<= 0.002", share <= 0.002);
    const double perUpdate = ui / 1e6 / updates;
    printRow("UI thread per progress update, " + name, format("%.3f ms", perUpdate), "<= 0.3 ms",
             perUpdate <= 0.3);
    printRow("worker per output chunk, " + name, format("%.3f ms", worker / 1e6 / updates), "-", true);
}

}  // namespace
}  // namespace mirvane::bench

int main(int argc, char** argv) {
    using namespace mirvane::bench;
    QCoreApplication app(argc, argv);
    const std::string which = argc > 1 ? argv[1] : "fake";
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 20;
    const int jobs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 1;
    const std::string name =
        std::to_string(seconds) + " s" + (jobs > 1 ? ", " + std::to_string(jobs) + " jobs" : "");
    mirvane::TempDir clips;
    QStringList inputs;
    for (int i = 0; i < jobs; ++i) {
        const std::string clip = clips.file("clip" + std::to_string(i) + (which == "fake" ? ".avi" : ".mkv"));
        if (which != "fake" && !makeClip(clip, seconds, "160x120")) return 1;
        inputs << QString::fromStdString(clip);
    }
    if (which == "fake") {
        // Twice as many one-second progress lines as the job's seconds, one every 500 ms.
        measure("fake encoder, " + name, MIRVANE_FAKE_ENCODER,
                "progress:" + std::to_string(2 * seconds) + ":500 -i %INPFILE %OUTFILE", seconds, inputs);
    } else {
        measure("ffmpeg, " + name, systemEncoder(),
                "-re -i %INPFILE -c:v libx264 -preset ultrafast -c:a aac -f mp4 %OUTFILE", seconds, inputs);
    }
    return 0;
}
