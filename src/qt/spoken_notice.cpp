#include "qt/spoken_notice.h"

#include <QAccessibleWidget>
#include <QWidget>

#include "engine/texts/texts.h"

namespace mirvane {

namespace {

// How long texts are gathered into one utterance, and how long an utterance
// stays for a reader that is behind with its events.
constexpr int kGatherMs = 100;
constexpr int kKeepMs = 30'000;

class Utterance : public QWidget {
    Q_OBJECT

public:
    using QWidget::QWidget;
};

QAccessibleInterface* utteranceInterface(const QString&, QObject* object) {
    if (auto* utterance = qobject_cast<Utterance*>(object))
        return new QAccessibleWidget(utterance, QAccessible::Notification);
    return nullptr;
}

}  // namespace

SpokenNotice::SpokenNotice(QWidget* window) : QObject(window), m_window(window) {
    [[maybe_unused]] static const bool described = [] {
        QAccessible::installFactory(&utteranceInterface);
        return true;
    }();
    m_gather.setSingleShot(true);
    m_gather.setInterval(kGatherMs);
    connect(&m_gather, &QTimer::timeout, this, &SpokenNotice::sayPending);
}

void SpokenNotice::say(const QString& text) {
    if (text.isEmpty()) return;
    m_pending << text;
    if (!m_gather.isActive()) m_gather.start();
}

void SpokenNotice::sayPending() {
    auto* utterance = new Utterance(m_window);
    utterance->setAccessibleName(m_pending.join(QString::fromUtf8(texts::kSayingsJoint)));
    m_pending.clear();
    utterance->setFocusPolicy(Qt::NoFocus);
    utterance->setAttribute(Qt::WA_TransparentForMouseEvents);
    utterance->setGeometry(0, 0, 1, 1);
    utterance->lower();
    utterance->show();
    QTimer::singleShot(kKeepMs, utterance, &QObject::deleteLater);
}

}  // namespace mirvane

#include "spoken_notice.moc"
