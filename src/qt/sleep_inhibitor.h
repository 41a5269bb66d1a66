#pragma once
// Keeps the computer from going to sleep (not the screen from going dark)
// through the desktop portal where one runs, otherwise through logind; where
// neither answers, nothing happens. Asked without waiting: the answer may
// come after the lock is no longer wanted, and is then given back at once.

#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QObject>

class QDBusPendingCallWatcher;

namespace mirvane {

class SleepInhibitor : public QObject {
    Q_OBJECT

public:
    explicit SleepInhibitor(QObject* parent = nullptr) : QObject(parent) {}
    ~SleepInhibitor() override;

    void setWanted(bool wanted);

private:
    void askPortal();
    void askLogind();
    void portalAnswered(QDBusPendingCallWatcher* watcher);
    void logindAnswered(QDBusPendingCallWatcher* watcher);
    void release();

    bool m_wanted = false;
    bool m_asking = false;
    // The portal's request, closed to give the lock back.
    QDBusObjectPath m_portalRequest;
    // logind's lock lasts while this descriptor is open anywhere: also the
    // program's death gives it back.
    QDBusUnixFileDescriptor m_logindLock;
};

}  // namespace mirvane
