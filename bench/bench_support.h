#pragma once
// What the benchmarks share: a program folder around the real window, clips
// made by the encoder, the process's own CPU time, and the table rows that
// scripts/bench gathers into one table.

#include <QString>
#include <QStringList>
#include <memory>
#include <string>

#include "engine/jobs/app_paths.h"
#include "engine/encoding/batch_flags.h"
#include "support/temp_dir.h"
#include "qt/main_window.h"
#include "qt/message_boxes.h"

namespace mirvane::bench {

// Sets the offscreen platform when no display is there.
void chooseDisplay();

// One row of the results table: what was measured, the figure, the goal,
// and whether the goal was met.
void printRow(const std::string& what, const std::string& figure, const std::string& goal, bool met);
std::string format(const char* pattern, double value);

// Seconds of processor time this process has used (its children not counted).
double ownCpuSeconds();
double wallSeconds();
double median(std::vector<double> values);

// Makes a clip of `seconds` with a test picture and a tone.
bool makeClip(const std::string& path, int seconds, const char* size = "320x240");

class QuietMessages : public MessageBoxes {
public:
    void showError(QWidget*, const QString& text) override;
    bool confirmForcedQuit(QWidget*, const QString&) override { return true; }
};

// A program folder with the given settings and the encoder linked in, and
// the main window over it.
class Program {
public:
    Program(const std::string& settings, const std::string& encoder);

    // Puts the files in the job list, presses start and returns when the
    // batch is over (the click returns then).
    void convert(const QStringList& files);
    MainWindow& window() { return *m_window; }
    std::string rowStatus(int row) const;

    TempDir dir;
    AppPaths paths;
    BatchFlags flags;

private:
    QuietMessages m_messages;
    std::unique_ptr<MainWindow> m_window;
};

std::string systemEncoder();
std::string shippedSettings();

}  // namespace mirvane::bench
