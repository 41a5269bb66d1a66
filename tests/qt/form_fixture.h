#pragma once
// A program folder in a temporary directory and a message seam that records
// what the window says, for the tests that create the main window.

#include <gtest/gtest.h>

#include <QFile>
#include <QKeyEvent>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/jobs/app_paths.h"
#include "engine/encoding/batch_flags.h"
#include "support/temp_dir.h"
#include "qt/main_window.h"
#include "qt/message_boxes.h"

namespace mirvane::test {

inline constexpr const char* kTwoPresets =
    "[List]\nListTitle00=First preset\nListOption00=-i %INPFILE %OUTFILE\nListExt00=.mp4\n"
    "ListTitle01=Second preset\nListOption01=-i %INPFILE %OUTFILE\nListExt01=.webm\n";

class RecordingMessages : public MessageBoxes {
public:
    void showError(QWidget*, const QString& text) override { shown << "error: " + text; }
    void showInformation(QWidget*, const QString& text) override { shown << "information: " + text; }
    bool confirmForcedQuit(QWidget*, const QString& text) override {
        shown << "question: " + text;
        return answer;
    }

    QStringList shown;
    bool answer = false;  // OK or Cancel
};

// The folder of a program at <temp>/Mirvane, with or without its settings
// file and its encoder.
struct ProgramFolder {
    explicit ProgramFolder(const char* settings = kTwoPresets, bool withEncoder = true,
                           const std::string& encoderTarget = "/bin/true") {
        if (settings) dir.write("MovieSet.ini", settings);
        if (withEncoder) {
            std::filesystem::create_directory(dir.file("ffmpeg"));
            std::filesystem::create_symlink(encoderTarget, dir.file("ffmpeg/ffmpeg"));
        }
        paths = AppPaths::fromExecutable(dir.file("Mirvane"));
    }

    TempDir dir;
    AppPaths paths;
};

// Lets the event loop run until value() equals expected, for at most 5 s,
// and returns value(). (QTRY_* report to QtTest, which GoogleTest never sees.)
template <typename Get, typename T>
auto settled(Get value, const T& expected) {
    (void)QTest::qWaitFor([&] { return value() == expected; });
    return value();
}

// Counts the presses of one key that reach a widget.
class KeyCounter : public QObject {
public:
    explicit KeyCounter(Qt::Key key) : m_key(key) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == m_key) ++presses;
        return false;
    }
    int presses = 0;

private:
    Qt::Key m_key;
};

// One main window with everything it refers to.
struct Form {
    explicit Form(const ProgramFolder& folder, const QStringList& files = {})
        : window(std::make_unique<MainWindow>(flags, folder.paths, bytesOf(files), messages)) {}

    static std::vector<std::string> bytesOf(const QStringList& files) {
        std::vector<std::string> bytes;
        for (const QString& file : files) bytes.push_back(QFile::encodeName(file).toStdString());
        return bytes;
    }

    template <typename T>
    T* control(const char* name) const {
        return window->findChild<T*>(name);
    }
    // One column of the job list, top to bottom.
    QStringList column(int index) const {
        QStringList texts;
        auto* list = control<QTreeWidget>("jobList");
        for (int row = 0; row < list->topLevelItemCount(); ++row)
            texts << list->topLevelItem(row)->text(index);
        return texts;
    }

    BatchFlags flags;
    RecordingMessages messages;
    std::unique_ptr<MainWindow> window;
};

// A shown and active main window over a complete program folder.
struct ShownForm : testing::Test {
    void SetUp() override {
        form.window->show();
        form.window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.window.get()));
    }

    ProgramFolder folder;
    Form form{folder};
};

// Names each row of a parameterised test by its `name`, also where a failure is reported.
inline constexpr auto kByName = [](const auto& info) { return std::string(info.param.name); };
namespace {
template <typename Row>
requires requires(const Row& row) { row.name; }
void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }
}  // namespace

}  // namespace mirvane::test
