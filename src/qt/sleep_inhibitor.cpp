#include "qt/sleep_inhibitor.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

#include "engine/texts/texts.h"

namespace mirvane {

namespace {

// Long enough for a bus to start the portal on its first use.
constexpr int kAnswerTimeoutMs = 10000;
constexpr uint kPortalSuspend = 4;

QString reason() { return QString::fromUtf8(texts::kSleepInhibitReason); }

}  // namespace

SleepInhibitor::~SleepInhibitor() { release(); }

void SleepInhibitor::setWanted(bool wanted) {
    if (wanted == m_wanted) return;
    m_wanted = wanted;
    if (!wanted) {
        release();
    } else if (!m_asking && m_portalRequest.path().isEmpty() && !m_logindLock.isValid()) {
        askPortal();
    }
}

void SleepInhibitor::askPortal() {
    QDBusMessage call =
        QDBusMessage::createMethodCall("org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop",
                                       "org.freedesktop.portal.Inhibit", "Inhibit");
    call << QString() << kPortalSuspend << QVariantMap{{"reason", reason()}};
    m_asking = true;
    auto* watcher =
        new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call, kAnswerTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, &SleepInhibitor::portalAnswered);
}

void SleepInhibitor::portalAnswered(QDBusPendingCallWatcher* watcher) {
    watcher->deleteLater();
    const QDBusPendingReply<QDBusObjectPath> reply = *watcher;
    if (reply.isError()) {
        askLogind();
        return;
    }
    m_asking = false;
    m_portalRequest = reply.value();
    if (!m_wanted) release();
}

void SleepInhibitor::askLogind() {
    QDBusMessage call = QDBusMessage::createMethodCall("org.freedesktop.login1", "/org/freedesktop/login1",
                                                       "org.freedesktop.login1.Manager", "Inhibit");
    call << QString("sleep") << QString::fromUtf8(texts::kAppName) << reason() << QString("block");
    auto* watcher =
        new QDBusPendingCallWatcher(QDBusConnection::systemBus().asyncCall(call, kAnswerTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, &SleepInhibitor::logindAnswered);
}

void SleepInhibitor::logindAnswered(QDBusPendingCallWatcher* watcher) {
    watcher->deleteLater();
    m_asking = false;
    const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *watcher;
    if (reply.isError()) return;
    m_logindLock = reply.value();
    if (!m_wanted) release();
}

void SleepInhibitor::release() {
    if (!m_portalRequest.path().isEmpty()) {
        QDBusConnection::sessionBus().send(
            QDBusMessage::createMethodCall("org.freedesktop.portal.Desktop", m_portalRequest.path(),
                                           "org.freedesktop.portal.Request", "Close"));
        m_portalRequest = {};
    }
    m_logindLock = {};
}

}  // namespace mirvane
