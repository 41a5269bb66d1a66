#pragma once
// The engine's way onto the UI thread over Qt's event loop. Create it on the
// UI thread: calls from workers are queued to the thread it lives on.

#include <QObject>
#include <QTimer>

#include "engine/desktop/ui_thread.h"

namespace mirvane {

class QtUiThread : public UiThread {
public:
    QtUiThread();

    void invoke(std::function<void()> fn) override;
    void post(std::function<void()> fn) override;
    void processEvents(std::optional<std::chrono::milliseconds> wait) override;

private:
    QObject m_context;
    // Ends a wait for events in time when nothing else arrives.
    QTimer m_wakeUp;
};

}  // namespace mirvane
