// End to end with the real encoder: the shipped presets convert generated
// clips through the window's own handlers.

#include <gtest/gtest.h>

#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTreeWidget>
#include <fstream>
#include <sstream>

#include "engine/settings/presets.h"
#include "form_fixture.h"
#include "qt/percent_gauge.h"
#include "ui_test_main.h"

namespace mirvane {
namespace {

using test::Form;
using test::ProgramFolder;

std::string shippedSettings() {
    std::ifstream in(MIRVANE_SOURCE_DIR "/MovieSet.ini", std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

QString run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return "failed: " + process.readAllStandardError();
    return QString::fromUtf8(process.readAllStandardOutput());
}

// A clip of `seconds` with a test picture and a tone, made by the encoder.
void makeClip(const std::string& path, int seconds, const QString& title = {}) {
    const QString length = QString::number(seconds);
    QStringList arguments = {"-v",
                             "error",
                             "-y",
                             "-f",
                             "lavfi",
                             "-i",
                             "testsrc=duration=" + length + ":size=320x240:rate=25",
                             "-f",
                             "lavfi",
                             "-i",
                             "sine=frequency=440:duration=" + length,
                             "-c:v",
                             "libx264",
                             "-c:a",
                             "aac",
                             "-shortest"};
    if (!title.isEmpty())
        arguments << "-metadata"
                  << "title=" + title;
    const QString result = run("ffmpeg", arguments << QString::fromStdString(path));
    ASSERT_FALSE(result.startsWith("failed")) << result.toStdString();
}

struct Probe {
    double duration = 0;
    QStringList codecs;
};

Probe probe(const std::string& path) {
    Probe result;
    const QString text = run("ffprobe", {"-v", "error", "-show_entries", "format=duration:stream=codec_name",
                                         "-of", "default=noprint_wrappers=1", QString::fromStdString(path)});
    for (const QString& line : text.split('\n', Qt::SkipEmptyParts)) {
        if (line.startsWith("codec_name=")) result.codecs << line.mid(11);
        if (line.startsWith("duration=")) result.duration = line.mid(9).toDouble();
    }
    return result;
}

// Watches the gauge: the largest progress it was ever painted with.
class GaugeWatch : public QObject {
public:
    explicit GaugeWatch(PercentGauge* gauge) : m_gauge(gauge) { gauge->installEventFilter(this); }
    int highestProgress = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) highestProgress = std::max(highestProgress, m_gauge->progress());
        return false;
    }

private:
    PercentGauge* m_gauge;
};

struct Converted {
    QString status;
    int gaugeMax = 0;
    int gaugeHighest = 0;
};

Converted convertThroughTheWindow(const ProgramFolder& folder, const std::string& input, int preset) {
    Form form(folder, {QString::fromStdString(input)});
    form.window->show();
    form.control<QListWidget>("presetList")->setCurrentRow(preset);
    auto* gauge = form.control<PercentGauge>("gauge");
    GaugeWatch watch(gauge);
    form.control<QPushButton>("startButton")->click();  // returns when the batch is over
    return {form.control<QTreeWidget>("jobList")->topLevelItem(0)->text(1), gauge->maxValue(),
            watch.highestProgress};
}

class RealEncoder : public ::testing::Test {
protected:
    void SetUp() override {
        if (QStandardPaths::findExecutable("ffmpeg").isEmpty()) GTEST_FAIL() << "ffmpeg is not installed";
    }
};

TEST_F(RealEncoder, EveryShippedPresetConvertsAClip) {
    const std::string settings = shippedSettings();
    ProgramFolder folder(settings.c_str(), true, QStandardPaths::findExecutable("ffmpeg").toStdString());
    const PresetTable presets = LoadPresets(folder.paths.settingsFile);
    ASSERT_GE(presets.Presets.size(), 5u);
    const std::string input = folder.dir.file("clip.mkv");
    makeClip(input, 3);

    // What each kind of output must hold.
    const std::map<std::string, QStringList> expectedCodecs = {
        {".mp4", {"h264", "aac"}}, {".webm", {"vp9", "opus"}}, {".mp3", {"mp3"}}, {".m4a", {"aac"}}};

    for (std::size_t i = 0; i < presets.Presets.size(); ++i) {
        const TListData& preset = presets.Presets[i];
        SCOPED_TRACE(preset.Title);
        const std::string output = folder.dir.file("clip" + preset.Ext);
        std::filesystem::remove(output);

        const Converted result = convertThroughTheWindow(folder, input, static_cast<int>(i));
        EXPECT_EQ(result.status, "変換済");
        EXPECT_EQ(result.gaugeMax, 3);
        EXPECT_EQ(result.gaugeHighest, 3);
        ASSERT_TRUE(std::filesystem::exists(output));
        const Probe got = probe(output);
        EXPECT_NEAR(got.duration, 3.0, 0.2);
        ASSERT_TRUE(expectedCodecs.count(preset.Ext)) << preset.Ext;
        EXPECT_EQ(got.codecs, expectedCodecs.at(preset.Ext));
        EXPECT_NEAR(probe(input).duration, 3.0, 0.2) << "the input was touched";
    }
}

TEST_F(RealEncoder, AFolderWithBlanksAndJapaneseCharacters) {
    const std::string settings = shippedSettings();
    ProgramFolder folder(settings.c_str(), true, QStandardPaths::findExecutable("ffmpeg").toStdString());
    const std::string input = folder.dir.file("私の ビデオ/clip \"1\".mkv");
    std::filesystem::create_directories(std::filesystem::path(input).parent_path());
    makeClip(input, 2);
    // The preset's own extension: the input must not be overwritten.
    const std::string sameExtension = folder.dir.file("私の ビデオ/clip \"1\".mp4");
    std::filesystem::copy_file(input, sameExtension);

    const Converted result = convertThroughTheWindow(folder, sameExtension, 0);
    EXPECT_EQ(result.status, "変換済");
    const std::string output = sameExtension + ".mp4";
    ASSERT_TRUE(std::filesystem::exists(output));
    EXPECT_NEAR(probe(output).duration, 2.0, 0.2);
    EXPECT_EQ(probe(sameExtension).codecs, (QStringList{"h264", "aac"})) << "the input was touched";
}

// The encoder echoes a file's name and its title tag, where anyone may put
// the words of its own lines: they decide nothing.
TEST_F(RealEncoder, ANameAndATitleHoldingTheEncodersWords) {
    const std::string settings = shippedSettings();
    ProgramFolder folder(settings.c_str(), true, QStandardPaths::findExecutable("ffmpeg").toStdString());
    const std::string input = folder.dir.file("No space left on device - Error writing trailer.mkv");
    makeClip(input, 3,
             "Duration: 99:00:00.00\nError writing trailer: No space left on device video:1kB audio:1kB");

    const Converted result = convertThroughTheWindow(folder, input, 0);
    EXPECT_EQ(result.status, "変換済");
    EXPECT_EQ(result.gaugeMax, 3);
    EXPECT_EQ(result.gaugeHighest, 3);
    const std::string output = folder.dir.file("No space left on device - Error writing trailer.mp4");
    ASSERT_TRUE(std::filesystem::exists(output)) << "the complete output was deleted";
    EXPECT_NEAR(probe(output).duration, 3.0, 0.2);
}

// Two clips at once with an audio-only preset, which leaves cores idle.
TEST_F(RealEncoder, TwoJobsAtOnce) {
    if (ProcessorCores() < 2) GTEST_SKIP() << "one core runs one job";
    std::string settings = shippedSettings();
    settings.replace(settings.find("Jobs=1"), 6, "Jobs=2");
    ProgramFolder folder(settings.c_str(), true, QStandardPaths::findExecutable("ffmpeg").toStdString());
    for (const char* clip : {"a.mkv", "b.mkv"}) makeClip(folder.dir.file(clip), 3);
    Form form(folder, {QString::fromStdString(folder.dir.file("a.mkv")),
                       QString::fromStdString(folder.dir.file("b.mkv"))});
    form.window->show();
    form.control<QListWidget>("presetList")->setCurrentRow(3);
    GaugeWatch watch(form.control<PercentGauge>("gauge"));
    form.control<QPushButton>("startButton")->click();  // returns when the batch is over
    for (int row = 0; row < 2; ++row)
        EXPECT_EQ(form.control<QTreeWidget>("jobList")->topLevelItem(row)->text(1), "変換済");
    EXPECT_EQ(form.control<PercentGauge>("gauge")->maxValue(), 200);
    EXPECT_EQ(watch.highestProgress, 200);
    for (const char* output : {"a.mp3", "b.mp3"})
        EXPECT_NEAR(probe(folder.dir.file(output)).duration, 3.0, 0.2);
}

}  // namespace
}  // namespace mirvane
