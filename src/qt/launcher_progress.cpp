#include "qt/launcher_progress.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QGuiApplication>
#include <QVariantMap>

namespace mirvane {

void sendLauncherProgress(const TaskbarProgress& progress) {
    // Desktops listen to the signal from any object; the path only tells the sender.
    QDBusMessage update = QDBusMessage::createSignal("/io/github/mirvane/Mirvane/launcher_entry",
                                                     "com.canonical.Unity.LauncherEntry", "Update");
    const bool visible = progress.state != TaskbarProgress::State::Hidden;
    update << "application://" + QGuiApplication::desktopFileName() + ".desktop"
           << QVariantMap{{"progress", progress.percent / 100.0},
                          {"progress-visible", visible},
                          {"count", static_cast<qint64>(progress.filesLeft)},
                          {"count-visible", visible}};
    QDBusConnection::sessionBus().send(update);
}

}  // namespace mirvane
