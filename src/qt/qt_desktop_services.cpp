#include "qt/qt_desktop_services.h"

#include <QApplication>

#include "qt/launcher_progress.h"

namespace mirvane {

QtDesktopServices::QtDesktopServices(QWidget& window)
    : m_window(window), m_notification([&window] {
          window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
          window.raise();
          window.activateWindow();
      }) {}

void QtDesktopServices::showTaskbarProgress(const TaskbarProgress& progress) {
    sendLauncherProgress(progress);
}

void QtDesktopServices::announceBatchEnd(const std::string& title, const std::string& text) {
    m_notification.show(QString::fromStdString(title), QString::fromStdString(text));
    QApplication::alert(&m_window);
}

}  // namespace mirvane
