// Figures of the batch itself: its overhead over running the encoder by
// hand, the front end's processor use while a conversion runs, how fast the
// encoder's output is drained, and how quickly a stop takes effect. Prints
// table rows; never fails on a number.
//
//   conversion_bench overhead [CLIPS] [PAIRS]
//   conversion_bench cpu [SECONDS]
//   conversion_bench throughput [MEGABYTES]
//   conversion_bench stop
//   conversion_bench jobs [CLIPS] [SECONDS]

#include <QApplication>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include "bench_support.h"
#include "engine/formats/command_line.h"
#include "engine/jobs/job_command.h"
#include "engine/platform/files.h"
#include "engine/settings/presets.h"

namespace mirvane::bench {
namespace {

// The same encoder commands the batch would run, one after another, with
// their output thrown away.
double runDirectly(const Program& program, const QStringList& clips) {
    const PresetTable presets = LoadPresets(program.paths.settingsFile);
    const TListData& preset = presets.Presets.at(0);
    const double start = wallSeconds();
    for (const QString& clip : clips) {
        const std::string input = clip.toStdString();
        const std::string output = *MakeOutputPath(input, preset.Ext, platform::entryExists);
        const std::string commandLine =
            MakeJobCommand(CommandTemplate(program.paths, preset.Option), input, output);
        QProcess encoder;
        encoder.setStandardOutputFile(QProcess::nullDevice());
        encoder.setStandardErrorFile(QProcess::nullDevice());
        QStringList arguments;
        for (const std::string& argument : ArgumentsAfterProgram(program.paths.encoder, commandLine))
            arguments << QString::fromStdString(argument);
        encoder.start(QString::fromStdString(program.paths.encoder), arguments);
        encoder.waitForFinished(-1);
    }
    return wallSeconds() - start;
}

void removeOutputs(const TempDir& dir, const std::string& extension = ".mp4") {
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        if (entry.path().extension() == extension) std::filesystem::remove(entry.path());
    }
}

void overhead(int clipCount, int pairs) {
    Program program(shippedSettings(), systemEncoder());
    TempDir clipsDir;
    QStringList clips;
    for (int i = 0; i < clipCount; ++i) {
        const std::string clip = clipsDir.file("clip" + std::to_string(i) + ".mkv");
        if (!makeClip(clip, 3)) return;
        clips << QString::fromStdString(clip);
    }
    auto throughTheWindow = [&] {
        removeOutputs(clipsDir);
        const double start = wallSeconds();
        program.convert(clips);
        return wallSeconds() - start;
    };
    auto directly = [&] {
        removeOutputs(clipsDir);
        return runDirectly(program, clips);
    };
    // Which of the two goes first alternates, so that a drift of the
    // machine's speed does not favour either.
    std::vector<double> ratios;
    for (int pair = 0; pair < pairs; ++pair) {
        double batch, direct;
        if (pair % 2 == 0) {
            batch = throughTheWindow();
            direct = directly();
        } else {
            direct = directly();
            batch = throughTheWindow();
        }
        ratios.push_back(batch / direct);
        std::fprintf(stderr, "pair %d: batch %.2f s, direct %.2f s\n", pair + 1, batch, direct);
    }
    const double ratio = median(ratios);
    printRow(
        "batch overhead: " + std::to_string(clipCount) + " clips through the window / encoder run directly",
        format("%.3f", ratio) + " (median of " + std::to_string(pairs) + " pairs)", "<= 1.02", ratio <= 1.02);
}

void cpu(int seconds) {
    // -re has the encoder read at the clip's own pace, so the job lasts as
    // long as the clip; everything else is the front end's own work.
    Program program(
        "[List]\nListTitle00=Paced\nListOption00=-re -i %INPFILE -c:v libx264 -preset ultrafast "
        "-c:a aac %OUTFILE\nListExt00=.mp4\n",
        systemEncoder());
    const std::string clip = program.dir.file("clip.mkv");
    if (!makeClip(clip, seconds, "160x120")) return;
    const double cpuBefore = ownCpuSeconds();
    const double start = wallSeconds();
    program.convert({QString::fromStdString(clip)});
    const double wall = wallSeconds() - start;
    const double share = (ownCpuSeconds() - cpuBefore) / wall;
    printRow("front end CPU time per wall second during a " + std::to_string(seconds) + " s conversion",
             format("%.4f", share) + " (" + program.rowStatus(0) + ", " + format("%.1f s", wall) + ")",
             "<= 0.003", share <= 0.003);
}

void throughput(int megabytes) {
    for (bool logging : {false, true}) {
        Program program("[List]\nListTitle00=Flood\nListOption00=flood:" + std::to_string(megabytes) +
                            "m -i %INPFILE %OUTFILE\nListExt00=.out\n",
                        MIRVANE_FAKE_ENCODER);
        program.flags.logEnabled = logging;
        const double start = wallSeconds();
        program.convert({QString::fromStdString(program.dir.file("clip.avi"))});
        const double rate = megabytes / (wallSeconds() - start);
        printRow(std::string("scanner throughput, ") + (logging ? "logging on" : "logging off"),
                 format("%.0f MB/s", rate), logging ? "-" : ">= 200 MB/s", logging || rate >= 200);
    }
}

// Seconds from the stop button's press to the batch's end (the row then
// reads "未変換"), for an encoder given by its fake script.
double stopLatency(const std::string& script) {
    Program program(
        "[List]\nListTitle00=Fake\nListOption00=" + script + " -i %INPFILE %OUTFILE\nListExt00=.out\n",
        MIRVANE_FAKE_ENCODER);
    double pressed = 0;
    QTimer::singleShot(1300, &program.window(), [&] {
        pressed = wallSeconds();
        program.window().findChild<QPushButton*>("startButton")->click();
    });
    program.convert({QString::fromStdString(program.dir.file("clip.avi"))});
    const double latency = wallSeconds() - pressed;
    if (program.rowStatus(0) != "未変換")
        std::fprintf(stderr, "row reads %s\n", program.rowStatus(0).c_str());
    return latency;
}

void stop() {
    std::vector<double> talking, silent;
    for (int i = 0; i < 5; ++i) talking.push_back(stopLatency("progress:1000:500"));
    for (int i = 0; i < 3; ++i)
        silent.push_back(stopLatency("\"print:  Duration: 00:10:00.00, start\\n\" hang"));
    const double worstTalking = *std::max_element(talking.begin(), talking.end());
    const double worstSilent = *std::max_element(silent.begin(), silent.end());
    printRow("stop latency, progress every 0.5 s (worst of 5)", format("%.3f s", worstTalking), "<= 0.6 s",
             worstTalking <= 0.6);
    printRow("stop latency, silent encoder (worst of 3)", format("%.3f s", worstSilent), "2.5 s + <= 0.1 s",
             worstSilent >= 2.5 && worstSilent <= 2.6);
}

// Wall seconds of one batch of the clips with the shipped preset at index,
// `jobs` of them at a time.
double batchSeconds(int preset, int jobs, const TempDir& clipsDir, const QStringList& clips) {
    const TListData shipped = LoadPresets(MIRVANE_SOURCE_DIR "/MovieSet.ini").Presets.at(preset);
    Program program("[List]\nListTitle00=" + shipped.Title + "\nListOption00=" + shipped.Option +
                        "\nListExt00=" + shipped.Ext + "\n[Option]\nJobs=" + std::to_string(jobs) + "\n",
                    systemEncoder());
    removeOutputs(clipsDir, shipped.Ext);
    const double start = wallSeconds();
    program.convert(clips);
    const double seconds = wallSeconds() - start;
    for (int row = 0; row < clips.size(); ++row) {
        if (program.rowStatus(row) != "変換済")
            std::fprintf(stderr, "row %d reads %s\n", row, program.rowStatus(row).c_str());
    }
    return seconds;
}

// One batch with one job at a time against the same batch with two, run
// side by side, the order alternating between the two presets.
void jobs(int clipCount, int seconds) {
    TempDir clipsDir;
    QStringList clips;
    for (int i = 0; i < clipCount; ++i) {
        const std::string clip = clipsDir.file("clip" + std::to_string(i) + ".mkv");
        if (!makeClip(clip, seconds, "640x360")) return;
        clips << QString::fromStdString(clip);
    }
    constexpr int kMp3 = 3;
    const double mp3One = batchSeconds(kMp3, 1, clipsDir, clips);
    const double mp3Two = batchSeconds(kMp3, 2, clipsDir, clips);
    const double mp3 = mp3Two / mp3One;
    printRow(std::to_string(clipCount) + " x " + std::to_string(seconds) + " s to MP3, Jobs=2 / Jobs=1 (" +
                 std::to_string(std::thread::hardware_concurrency()) + " cores)",
             format("%.3f", mp3) + format(" (%.1f s / ", mp3Two) + format("%.1f s)", mp3One), "<= 0.6",
             mp3 <= 0.6);
    const QStringList x264Clips = clips.mid(0, 4);
    const double x264Two = batchSeconds(0, 2, clipsDir, x264Clips);
    const double x264One = batchSeconds(0, 1, clipsDir, x264Clips);
    const double x264 = x264Two / x264One;
    printRow(std::to_string(x264Clips.size()) + " x " + std::to_string(seconds) +
                 " s to x264 (the default preset), Jobs=2 / Jobs=1",
             format("%.3f", x264) + format(" (%.1f s / ", x264Two) + format("%.1f s)", x264One), "<= 1.05",
             x264 <= 1.05);
}

}  // namespace
}  // namespace mirvane::bench

int main(int argc, char** argv) {
    using namespace mirvane::bench;
    chooseDisplay();
    QApplication app(argc, argv);
    const std::string mode = argc > 1 ? argv[1] : "";
    auto number = [&](int index, int fallback) { return argc > index ? std::atoi(argv[index]) : fallback; };
    if (mode == "overhead") {
        overhead(number(2, 20), number(3, 5));
    } else if (mode == "cpu") {
        cpu(number(2, 60));
    } else if (mode == "throughput") {
        throughput(number(2, 500));
    } else if (mode == "stop") {
        stop();
    } else if (mode == "jobs") {
        jobs(number(2, 8), number(3, 60));
    } else {
        std::fprintf(stderr,
                     "usage: %s overhead [CLIPS] [PAIRS] | cpu [SECONDS] | throughput [MB] | stop | jobs "
                     "[CLIPS] [SECONDS]\n",
                     argv[0]);
        return 2;
    }
    return 0;
}
