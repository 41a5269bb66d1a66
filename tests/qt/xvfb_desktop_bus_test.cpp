// What a desktop hears on the buses around a batch: two buses of the test's
// own (a session bus, and one standing in for the system bus) with a recorder
// in the place of the portal, logind and the notification server.

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QDBusVirtualObject>
#include <QProcess>
#include <QPushButton>
#include <csignal>

#include "form_fixture.h"
#include "ui_test_main.h"

void PrintTo(const QString& text, std::ostream* out) { *out << text.toStdString(); }

namespace mirvane::test {
namespace {

// Started before Qt, which may look for the session bus as it starts; ends with the test.
QString startBus(const char* variable) {
    int output[2];
    if (::pipe(output) != 0) return {};
    if (::fork() == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        ::dup2(output[1], STDOUT_FILENO);
        ::execlp("dbus-daemon", "dbus-daemon", "--session", "--print-address", "--nofork", nullptr);
        ::_exit(127);
    }
    ::close(output[1]);
    QString address;
    for (char byte; ::read(output[0], &byte, 1) == 1 && byte != '\n';) address += byte;
    ::setenv(variable, address.toLocal8Bit().constData(), 1);
    return address;
}
const QString kSessionBus = startBus("DBUS_SESSION_BUS_ADDRESS");
const QString kSystemBus = startBus("DBUS_SYSTEM_BUS_ADDRESS");

// A message as "Member argument...", a dictionary by its values.
QString joined(const QDBusMessage& message) {
    QStringList words{message.member()};
    for (const QVariant& value : message.arguments()) {
        if (value.metaType() == QMetaType::fromType<QStringList>()) {
            words << value.toStringList();
        } else if (!value.canConvert<QDBusArgument>()) {
            words << value.toString();
        } else {
            for (const QVariant& entry : qdbus_cast<QVariantMap>(value.value<QDBusArgument>()))
                words << entry.toString();
        }
    }
    return words.join(' ');
}

// Answers as the services do and writes down what it was asked.
class Recorder : public QDBusVirtualObject {
    Q_OBJECT

public:
    explicit Recorder(bool portal) {
        for (QDBusConnection* bus : {&m_session, &m_system})
            bus->registerVirtualObject("/org/freedesktop", this, QDBusConnection::SubPath);
        m_session.registerService("org.freedesktop.Notifications");
        if (portal) m_session.registerService("org.freedesktop.portal.Desktop");
        m_system.registerService("org.freedesktop.login1");
        m_session.connect({}, {}, "com.canonical.Unity.LauncherEntry", "Update", this,
                          SLOT(update(QDBusMessage)));
    }
    ~Recorder() override {
        QDBusConnection::disconnectFromBus("session");
        QDBusConnection::disconnectFromBus("system");
    }
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& bus) override {
        calls << joined(message);
        QDBusMessage reply = message.createReply();
        if (message.member() == "Notify") reply << uint(7);
        if (message.interface() == "org.freedesktop.portal.Inhibit")
            reply << QVariant::fromValue(QDBusObjectPath("/org/freedesktop/portal/r"));
        int ends[2];
        if (message.interface() == "org.freedesktop.login1.Manager" && ::pipe(ends) == 0) {
            lock = ends[0];  // at its end once every copy of the other is closed
            reply << QVariant::fromValue(QDBusUnixFileDescriptor(ends[1]));
            ::close(ends[1]);
        }
        return QDBusConnection(bus).send(reply);
    }
    bool lockReleased() const {
        pollfd end{lock, POLLIN, 0};
        char byte;
        return ::poll(&end, 1, 0) == 1 && ::read(lock, &byte, 1) == 0;
    }

    QStringList calls, updates;
    int lock = -1;
    QDBusConnection m_session = QDBusConnection::connectToBus(kSessionBus, "session");
    QDBusConnection m_system = QDBusConnection::connectToBus(kSystemBus, "system");

public slots:
    void update(const QDBusMessage& message) { updates << joined(message); }
};

const QString kUri = "Update application://io.github.mirvane.Mirvane.desktop ";
const QString kNotify =
    "Notify Mirvane 0 io.github.mirvane.Mirvane 変換が終わりました 変換済 2件、エラー 0件 "
    "default Mirvaneを表示 io.github.mirvane.Mirvane -1";
const QString kLogind = "Inhibit sleep Mirvane 動画を変換しています block";
constexpr const char* kSlow =
    "[List]\nListTitle00=Slow\nListOption00=progress:8:50 -i %INPFILE %OUTFILE\nListExt00=.mp4\n";

TEST(BatchOnTheBus, TheLockIsAskedAndGivenBackProgressRisesAndTheNotificationBringsTheWindowForward) {
    QGuiApplication::setDesktopFileName("io.github.mirvane.Mirvane");
    Recorder recorder(true);
    ProgramFolder folder(kSlow, true, MIRVANE_FAKE_ENCODER);
    Form form(folder,
              {QString::fromStdString(folder.dir.file("a")), QString::fromStdString(folder.dir.file("b"))});
    QWidget inFront;
    form.window->show();
    inFront.show();
    inFront.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&inFront));
    form.control<QPushButton>("startButton")->click();

    const QStringList calls{"Inhibit  4 動画を変換しています", "Close", kNotify};
    EXPECT_EQ(settled([&] { return recorder.calls; }, calls), calls);
    EXPECT_EQ(settled([&] { return recorder.updates.last(); }, kUri + "0 false 0 false"),
              kUri + "0 false 0 false");
    EXPECT_EQ(recorder.updates.first(), kUri + "2 true 0 true");
    EXPECT_TRUE(recorder.updates.contains(kUri + "2 true 1 true"));
    recorder.m_session.send(QDBusMessage::createSignal("/org/freedesktop/Notifications",
                                                       "org.freedesktop.Notifications", "ActionInvoked")
                            << uint(7) << QString("default"));
    EXPECT_TRUE(QTest::qWaitForWindowActive(form.window.get()));
}

// Without a portal, logind's lock: given back by the descriptor's closing, also when the program is killed.
TEST(BatchOnTheBus, LogindsLockGoesWithAKilledProgram) {
    Recorder recorder(false);
    ProgramFolder folder(kSlow, true, MIRVANE_FAKE_ENCODER);
    std::filesystem::copy_file(MIRVANE_PROGRAM, folder.dir.file("Mirvane"));
    TempDir runtime;
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime.path()));
    program.setProcessEnvironment(environment);
    program.start(QString::fromStdString(folder.dir.file("Mirvane")),
                  {QString::fromStdString(folder.dir.file("a"))});
    ASSERT_TRUE(program.waitForStarted());
    QProcess::execute("xdotool",
                      {"search", "--sync", "--onlyvisible", "--pid", QString::number(program.processId()),
                       "--name", "^Mirvane", "mousemove", "--window", "%1", "46", "26", "click", "1"});
    ASSERT_EQ(settled([&] { return recorder.calls; }, QStringList{kLogind}), QStringList{kLogind});
    EXPECT_FALSE(recorder.lockReleased());
    program.kill();
    EXPECT_TRUE(settled([&] { return recorder.lockReleased(); }, true));
}

}  // namespace
}  // namespace mirvane::test

#include "xvfb_desktop_bus_test.moc"
