#pragma once
// The desktop's services around a batch on Linux, over the session and
// system buses: sleep held off, progress on the dock, the notification at
// the end with the window's taskbar entry asking for attention.

#include <QWidget>

#include "engine/desktop/desktop_services.h"
#include "qt/batch_notification.h"
#include "qt/sleep_inhibitor.h"

namespace mirvane {

class QtDesktopServices : public DesktopServices {
public:
    explicit QtDesktopServices(QWidget& window);

    void keepSystemAwake(bool awake) override { m_sleep.setWanted(awake); }
    void showTaskbarProgress(const TaskbarProgress& progress) override;
    bool windowIsActive() const override { return m_window.isActiveWindow(); }
    void announceBatchEnd(const std::string& title, const std::string& text) override;

private:
    QWidget& m_window;
    SleepInhibitor m_sleep;
    BatchNotification m_notification;
};

}  // namespace mirvane
