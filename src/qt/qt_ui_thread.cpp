#include "qt/qt_ui_thread.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace mirvane {

QtUiThread::QtUiThread() {
    m_wakeUp.setSingleShot(true);
    // A coarse timer may fire 5 % late: 125 ms on the stop watchdog's 2.5 s.
    m_wakeUp.setTimerType(Qt::PreciseTimer);
}

void QtUiThread::invoke(std::function<void()> fn) {
    QMetaObject::invokeMethod(&m_context, std::move(fn), Qt::BlockingQueuedConnection);
}

void QtUiThread::post(std::function<void()> fn) {
    QMetaObject::invokeMethod(&m_context, std::move(fn), Qt::QueuedConnection);
}

void QtUiThread::processEvents(std::optional<std::chrono::milliseconds> wait) {
    if (wait) m_wakeUp.start(*wait);
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    m_wakeUp.stop();
}

}  // namespace mirvane
