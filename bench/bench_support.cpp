#include "bench_support.h"

#include <sys/resource.h>

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTreeWidget>
#include <QUrl>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace mirvane::bench {

void chooseDisplay() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
}

void printRow(const std::string& what, const std::string& figure, const std::string& goal, bool met) {
    std::printf("| %s | %s | %s | %s |\n", what.c_str(), figure.c_str(), goal.c_str(),
                met ? "met" : "MISSED");
    std::fflush(stdout);
}

std::string format(const char* pattern, double value) {
    char text[64];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

double ownCpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double wallSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

bool makeClip(const std::string& path, int seconds, const char* size) {
    const QString length = QString::number(seconds);
    QProcess encoder;
    encoder.start("ffmpeg", {"-v", "error", "-y", "-f", "lavfi", "-i",
                             "testsrc=duration=" + length + ":size=" + size + ":rate=25", "-f", "lavfi", "-i",
                             "sine=frequency=440:duration=" + length, "-c:v", "libx264", "-preset",
                             "ultrafast", "-c:a", "aac", "-shortest", QString::fromStdString(path)});
    return encoder.waitForFinished(-1) && encoder.exitCode() == 0;
}

void QuietMessages::showError(QWidget*, const QString& text) {
    std::fprintf(stderr, "window reports: %s\n", qPrintable(text));
}

Program::Program(const std::string& settings, const std::string& encoder) {
    dir.write("MovieSet.ini", settings);
    std::filesystem::create_directory(dir.file("ffmpeg"));
    std::filesystem::create_symlink(encoder, dir.file("ffmpeg/ffmpeg"));
    paths = AppPaths::fromExecutable(dir.file("Mirvane"));
    m_window = std::make_unique<MainWindow>(flags, paths, std::vector<std::string>{}, m_messages);
    m_window->show();
}

// The files arrive as a file manager would drop them.
void Program::convert(const QStringList& files) {
    m_window->findChild<QPushButton*>("clearButton")->click();
    QList<QUrl> urls;
    for (const QString& file : files) urls << QUrl::fromLocalFile(file);
    QMimeData data;
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_window.get(), &enter);
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_window.get(), &drop);
    m_window->findChild<QPushButton*>("startButton")->click();
}

std::string Program::rowStatus(int row) const {
    return m_window->findChild<QTreeWidget*>("jobList")->topLevelItem(row)->text(1).toStdString();
}

std::string systemEncoder() { return QStandardPaths::findExecutable("ffmpeg").toStdString(); }

std::string shippedSettings() {
    std::ifstream in(MIRVANE_SOURCE_DIR "/MovieSet.ini", std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

}  // namespace mirvane::bench
