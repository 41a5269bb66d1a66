// What the program says on the buses around a batch, as a desktop hears it:
// two buses of the test's own (a session bus and one standing in for the
// system bus) and, on them, a recorder in the place of the portal, logind
// and the notification server, listening for the dock's progress signal.

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QDBusVirtualObject>
#include <QProcess>
#include <QPushButton>
#include <QTimer>

#include "form_fixture.h"
#include "ui_test_main.h"

// Failures show the texts.
void PrintTo(const QString& text, std::ostream* out) { *out << text.toStdString(); }

namespace mirvane::test {
namespace {

// Started before Qt, which may look for the session bus as it starts; ends
// with the test program, however it ends.
struct Bus {
    explicit Bus(const char* variable) {
        int output[2];
        if (::pipe(output) != 0) return;
        pid = ::fork();
        if (pid == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            ::dup2(output[1], STDOUT_FILENO);
            ::execlp("dbus-daemon", "dbus-daemon", "--session", "--print-address", "--nofork", nullptr);
            ::_exit(127);
        }
        ::close(output[1]);
        char byte;
        while (::read(output[0], &byte, 1) == 1 && byte != '\n') address += byte;
        ::close(output[0]);
        ::setenv(variable, address.toLocal8Bit().constData(), 1);
    }
    ~Bus() {
        ::kill(pid, SIGTERM);
        ::waitpid(pid, nullptr, 0);
    }
    QString address;
    pid_t pid = -1;
};
const Bus sessionBus("DBUS_SESSION_BUS_ADDRESS");
const Bus systemBus("DBUS_SYSTEM_BUS_ADDRESS");

QString text(const QVariant& value) {
    if (value.metaType() == QMetaType::fromType<QStringList>()) return value.toStringList().join(' ');
    if (!value.canConvert<QDBusArgument>()) return value.toString();
    QStringList values;  // of a dictionary, in the order of the keys
    for (const QVariant& entry : qdbus_cast<QVariantMap>(value.value<QDBusArgument>()))
        values << entry.toString();
    return values.join(' ');
}

QString joined(const QDBusMessage& message) {
    QStringList words{message.member()};
    for (const QVariant& argument : message.arguments()) words << text(argument);
    return words.join(' ');
}

// Answers as the real services do and writes down what it was asked.
class Recorder : public QDBusVirtualObject {
    Q_OBJECT

public:
    Recorder() {
        m_session.registerVirtualObject("/org/freedesktop", this, QDBusConnection::SubPath);
        m_system.registerVirtualObject("/org/freedesktop", this, QDBusConnection::SubPath);
        m_session.registerService("org.freedesktop.Notifications");
        m_system.registerService("org.freedesktop.login1");
        m_session.connect({}, {}, "com.canonical.Unity.LauncherEntry", "Update", this,
                          SLOT(update(QDBusMessage)));
    }
    ~Recorder() override {
        QDBusConnection::disconnectFromBus(m_session.name());
        QDBusConnection::disconnectFromBus(m_system.name());
        if (lock >= 0) ::close(lock);
    }
    void setPortal(bool running) {
        running ? m_session.registerService(kPortal) : m_session.unregisterService(kPortal);
    }
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& bus) override {
        calls << joined(message);
        QDBusMessage reply = message.createReply();
        if (message.member() == "Notify") reply << uint(7);
        if (message.interface() == "org.freedesktop.portal.Inhibit")
            reply << QVariant::fromValue(QDBusObjectPath("/org/freedesktop/portal/desktop/request/1/t"));
        if (message.interface() == "org.freedesktop.login1.Manager") {
            int ends[2];
            if (::pipe(ends) != 0) return false;
            lock = ends[0];
            reply << QVariant::fromValue(QDBusUnixFileDescriptor(ends[1]));
            ::close(ends[1]);
        }
        QDBusConnection(bus).send(reply);
        return true;
    }
    // Whether every copy of logind's descriptor has been closed.
    bool lockReleased() const {
        pollfd end{lock, POLLIN, 0};
        char byte;
        return ::poll(&end, 1, 0) == 1 && ::read(lock, &byte, 1) == 0;
    }
    void clickNotification() {
        m_session.send(QDBusMessage::createSignal("/org/freedesktop/Notifications",
                                                  "org.freedesktop.Notifications", "ActionInvoked")
                       << uint(7) << QString("default"));
    }

    QStringList calls;
    QStringList updates;
    int lock = -1;

public slots:
    void update(const QDBusMessage& message) { updates << joined(message); }

private:
    static constexpr const char* kPortal = "org.freedesktop.portal.Desktop";
    QDBusConnection m_session = QDBusConnection::connectToBus(sessionBus.address, "recorder-session");
    QDBusConnection m_system = QDBusConnection::connectToBus(systemBus.address, "recorder-system");
};

const QString kReason = "動画を変換しています";
const QString kEntry = "io.github.mirvane.Mirvane";
const QString kUri = "application://io.github.mirvane.Mirvane.desktop";
const QString kPortalInhibit = "Inhibit  4 " + kReason;
const QString kLogindInhibit = "Inhibit sleep Mirvane " + kReason + " block";
const QString kNotify = "Notify Mirvane 0 " + kEntry +
                        " 変換が終わりました 変換済 2件、エラー 0件 default Mirvaneを表示 " + kEntry + " -1";
constexpr const char* kSlowPreset =
    "[List]\nListTitle00=Slow\nListOption00=progress:8:50 -i %INPFILE %OUTFILE\nListExt00=.mp4\n";

struct BusCase {
    const char* name;
    bool portal;
    bool inFront;
    bool stopped;
    QStringList calls;
};

class BatchOnTheBus : public testing::TestWithParam<BusCase> {};

TEST_P(BatchOnTheBus, AsksForTheLockShowsProgressAndNotifiesOnlyWhenDue) {
    const BusCase& c = GetParam();
    QGuiApplication::setDesktopFileName(kEntry);
    Recorder recorder;
    recorder.setPortal(c.portal);
    ProgramFolder folder(kSlowPreset, true, MIRVANE_FAKE_ENCODER);
    Form form(folder, {QString::fromStdString(folder.dir.file("a.avi")),
                       QString::fromStdString(folder.dir.file("b.avi"))});
    QWidget other;
    form.window->show();
    other.show();
    (c.inFront ? form.window.get() : &other)->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(c.inFront ? form.window.get() : &other));

    auto* start = form.control<QPushButton>("btnStart");
    if (c.stopped) QTimer::singleShot(200, start, [start] { start->click(); });
    start->click();

    EXPECT_EQ(settled([&] { return recorder.calls; }, c.calls), c.calls);
    if (!c.portal) {
        EXPECT_TRUE(settled([&] { return recorder.lockReleased(); }, true));
    }
    ASSERT_FALSE(recorder.updates.isEmpty());
    EXPECT_EQ(recorder.updates.first(), "Update " + kUri + " 2 true 0 true");
    EXPECT_EQ(recorder.updates.contains("Update " + kUri + " 2 true 1 true"), !c.stopped);
    const QString hidden = "Update " + kUri + " 0 false 0 false";
    EXPECT_EQ(settled([&] { return recorder.updates.last(); }, hidden), hidden);
    if (c.calls.contains(kNotify)) {
        recorder.clickNotification();
        EXPECT_TRUE(QTest::qWaitForWindowActive(form.window.get()));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BatchOnTheBus,
    testing::Values(
        BusCase{"ByItselfBehindAnotherWindow", true, false, false, {kPortalInhibit, "Close", kNotify}},
        BusCase{"ByItselfInFront", true, true, false, {kPortalInhibit, "Close"}},
        BusCase{"StoppedWithoutAPortal", false, false, true, {kLogindInhibit}}),
    kByName);

// The lock of a program that dies is given back by the descriptor's closing.
TEST(KilledInMidBatch, GivesLogindsLockBack) {
    Recorder recorder;
    ProgramFolder folder(kSlowPreset, true, MIRVANE_FAKE_ENCODER);
    std::filesystem::copy_file(MIRVANE_PROGRAM, folder.dir.file("Mirvane"));
    TempDir runtime;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime.path()));
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QString::fromStdString(folder.dir.file("Mirvane")),
                  {QString::fromStdString(folder.dir.file("a.avi"))});
    ASSERT_TRUE(program.waitForStarted());
    QProcess xdotool;
    xdotool.start("xdotool",
                  {"search", "--sync", "--onlyvisible", "--pid", QString::number(program.processId()),
                   "--name", "^Mirvane", "mousemove", "--window", "%1", "46", "26", "click", "1"});
    ASSERT_TRUE(xdotool.waitForFinished(10000));
    ASSERT_EQ(settled([&] { return recorder.calls; }, QStringList{kLogindInhibit}),
              QStringList{kLogindInhibit});
    EXPECT_FALSE(recorder.lockReleased());
    program.kill();
    EXPECT_TRUE(settled([&] { return recorder.lockReleased(); }, true));
}

}  // namespace
}  // namespace mirvane::test

#include "xvfb_desktop_bus_test.moc"
