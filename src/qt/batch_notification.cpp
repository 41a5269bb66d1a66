#include "qt/batch_notification.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QGuiApplication>
#include <QVariantMap>

#include "engine/texts/texts.h"

namespace mirvane {

namespace {

const char* const kService = "org.freedesktop.Notifications";
const char* const kPath = "/org/freedesktop/Notifications";
const char* const kInterface = "org.freedesktop.Notifications";

}  // namespace

BatchNotification::BatchNotification(std::function<void()> onClicked, QObject* parent)
    : QObject(parent), m_onClicked(std::move(onClicked)) {}

void BatchNotification::show(const QString& title, const QString& text) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    // Connected only once a notification is due: most runs never show one.
    if (!m_listening)
        m_listening = bus.connect(kService, kPath, kInterface, "ActionInvoked", this,
                                  SLOT(actionInvoked(uint, QString)));
    // The entry's name is also the installed icon's.
    const QString entry = QGuiApplication::desktopFileName();
    QDBusMessage notify = QDBusMessage::createMethodCall(kService, kPath, kInterface, "Notify");
    notify << QString::fromUtf8(texts::kAppName) << uint(0) << entry << title << text
           << QStringList{"default", QString::fromUtf8(texts::kShowWindow)}
           << QVariantMap{{"desktop-entry", entry}} << -1;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(notify), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* answered) {
        answered->deleteLater();
        const QDBusPendingReply<uint> id = *answered;
        if (!id.isError()) m_shown = id.value();
    });
}

void BatchNotification::actionInvoked(uint id, const QString& action) {
    if (id != 0 && id == m_shown && action == "default") m_onClicked();
}

}  // namespace mirvane
