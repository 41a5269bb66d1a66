#pragma once
// The desktop notification at the end of a batch, through the session bus's
// notification server; clicking it calls back, so that the window can come
// forward. Without a server nothing is shown.

#include <QObject>
#include <QString>
#include <functional>

namespace mirvane {

class BatchNotification : public QObject {
    Q_OBJECT

public:
    explicit BatchNotification(std::function<void()> onClicked, QObject* parent = nullptr);

    void show(const QString& title, const QString& text);

private slots:
    void actionInvoked(uint id, const QString& action);

private:
    std::function<void()> m_onClicked;
    bool m_listening = false;
    // The server's id of the last notification shown; 0 is none.
    uint m_shown = 0;
};

}  // namespace mirvane
