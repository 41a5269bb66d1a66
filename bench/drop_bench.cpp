// Times drops of many files on the main window, from the drop event until the
// list has painted the new rows, and the memory the rows take. It reports the
// figures beside their goals and never fails on a number.

#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QItemSelection>
#include <QKeyEvent>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QUrl>
#include <cstdio>

#include "engine/app_paths.h"
#include "engine/unit_state.h"
#include "ui/Unit1.h"
#include "ui/message_boxes.h"

namespace {

using namespace mirvane;

class SilentMessages : public MessageBoxes {
public:
    void showError(QWidget*, const QString& text) override {
        std::fprintf(stderr, "window reports: %s\n", qPrintable(text));
    }
    bool confirmForcedQuit(QWidget*, const QString&) override { return true; }
};

// Counts the paints of the list's rows.
class PaintCounter : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
    int paints = 0;
};

// The resident set size in KiB.
long residentKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

// A program folder the window accepts: settings file and encoder beside it.
bool makeProgramFolder(const QTemporaryDir& dir) {
    QFile settings(dir.filePath(QStringLiteral("MovieSet.ini")));
    if (!settings.open(QIODevice::WriteOnly)) return false;
    settings.write("[List]\nListTitle00=Bench\nListOption00=-i %INPFILE %OUTFILE\nListExt00=.mp4\n");
    settings.close();
    return QDir(dir.path()).mkdir(QStringLiteral("ffmpeg")) &&
           QFile::link(QStringLiteral("/bin/true"), dir.filePath(QStringLiteral("ffmpeg/ffmpeg")));
}

void dropAndMeasure(QTreeWidget& list, PaintCounter& counter, int count, double goalSeconds) {
    QList<QUrl> urls;
    urls.reserve(count);
    for (int i = 0; i < count; ++i)
        urls << QUrl::fromLocalFile(
            QStringLiteral("/home/user/Videos/holiday %1/clip_%2.mp4").arg(i / 100).arg(i));
    QMimeData files;
    files.setUrls(urls);
    const QPoint spot = list.geometry().center();

    const long before = residentKiB();
    const int paintsBefore = counter.paints;
    QElapsedTimer clock;
    clock.start();
    QDragEnterEvent enter(spot, Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list.viewport(), &enter);
    QDropEvent drop(QPointF(spot), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list.viewport(), &drop);
    const double handled = clock.nsecsElapsed() / 1e9;
    while (counter.paints == paintsBefore && clock.elapsed() < 60000)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    const double shown = clock.nsecsElapsed() / 1e9;
    const long after = residentKiB();

    std::printf(
        "%7d files: %6.3f s until shown (drop handler %6.3f s), goal <= %.1f s: %s; rows %d; "
        "resident memory +%.1f MiB (%.0f bytes a row), %.1f MiB in all\n",
        count, shown, handled, goalSeconds, shown <= goalSeconds ? "met" : "MISSED", list.topLevelItemCount(),
        (after - before) / 1024.0, (after - before) * 1024.0 / count, after / 1024.0);
}

// The Delete key on a scattered selection: half the rows, every other one.
void deleteEverySecondRow(QTreeWidget& list) {
    const int before = list.topLevelItemCount();
    QItemSelection every;
    for (int row = 0; row < before; row += 2)
        every.select(list.model()->index(row, 0), list.model()->index(row, list.columnCount() - 1));
    list.selectionModel()->select(every, QItemSelectionModel::Select);
    list.setFocus();
    QElapsedTimer clock;
    clock.start();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
    QApplication::sendEvent(&list, &press);
    const double handled = clock.nsecsElapsed() / 1e9;
    std::printf("Delete of %d selected rows among %d: %6.3f s; rows left %d\n", (before + 1) / 2, before,
                handled, list.topLevelItemCount());
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QTemporaryDir folder;
    if (!folder.isValid() || !makeProgramFolder(folder)) {
        std::fputs("cannot make a program folder in the temporary directory\n", stderr);
        return 1;
    }
    UnitState unit;
    const AppPaths paths =
        AppPaths::fromExecutable(QFile::encodeName(folder.filePath("Mirvane")).toStdString());
    SilentMessages messages;
    TForm1 window(unit, paths, {}, messages);
    window.show();
    auto* list = window.findChild<QTreeWidget*>(QStringLiteral("lvData"));
    PaintCounter counter;
    list->viewport()->installEventFilter(&counter);
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 300) QApplication::processEvents(QEventLoop::AllEvents, 10);

    std::printf("platform %s\n", qPrintable(QApplication::platformName()));
    dropAndMeasure(*list, counter, 10000, 0.2);
    window.findChild<QPushButton*>(QStringLiteral("btnAllClr"))->click();
    QApplication::processEvents();
    dropAndMeasure(*list, counter, 100000, 2.0);
    deleteEverySecondRow(*list);
    return 0;
}
