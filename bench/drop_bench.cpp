// Times drops of many files on the main window, from the drop event until the
// list has painted the new rows, and the memory the rows take. It reports the
// figures beside their goals and never fails on a number.

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QItemSelection>
#include <QKeyEvent>
#include <QLocale>
#include <QMimeData>
#include <QPushButton>
#include <QTreeWidget>
#include <QUrl>
#include <cstdio>

#include "bench_support.h"

namespace {

using namespace mirvane;
using namespace mirvane::bench;

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

    const bool allThere = list.topLevelItemCount() == count;
    printRow("drop of " + QLocale(QLocale::English).toString(count).toStdString() + " paths until shown",
             format("%.3f s", shown) + format(" (handler %.3f s", handled) +
                 format(", memory +%.1f MB)", (after - before) / 1024.0) + (allThere ? "" : " rows missing"),
             format("<= %.1f s", goalSeconds), allThere && shown <= goalSeconds);
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
    printRow("Delete of every other row among " + QLocale(QLocale::English).toString(before).toStdString(),
             format("%.3f s", handled), "-", list.topLevelItemCount() == before / 2);
}

}  // namespace

int main(int argc, char** argv) {
    chooseDisplay();
    QApplication app(argc, argv);
    Program program("[List]\nListTitle00=Bench\nListOption00=-i %INPFILE %OUTFILE\nListExt00=.mp4\n",
                    "/bin/true");
    auto* list = program.window().findChild<QTreeWidget*>(QStringLiteral("jobList"));
    PaintCounter counter;
    list->viewport()->installEventFilter(&counter);
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 300) QApplication::processEvents(QEventLoop::AllEvents, 10);

    dropAndMeasure(*list, counter, 10000, 0.2);
    program.window().findChild<QPushButton*>(QStringLiteral("clearButton"))->click();
    QApplication::processEvents();
    dropAndMeasure(*list, counter, 100000, 2.0);
    deleteEverySecondRow(*list);
    return 0;
}
