// The built program itself, run as a child process: the single-instance lock
// and the display check, which both act before any window exists.

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QProcess>
#include <QTest>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <tuple>

#include "form_fixture.h"
#include "qt/display_check.h"
#include "ui_test_main.h"

namespace mirvane::test {
namespace {

const QByteArray kNoDisplay = "Mirvane needs a graphical session (no display found).\n";

// A listener on a Wayland socket that never answers, hangs up on its first
// client, or answers the round trip that client begins with.
class FakeCompositor {
public:
    enum Mode { Silent, HangsUp, Answers };
    FakeCompositor(const std::string& path, Mode mode, uid_t owner = ::geteuid()) : m_path(path) {
        sockaddr_un address{AF_UNIX, {}};
        path.copy(address.sun_path, sizeof address.sun_path - 1);
        m_listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        EXPECT_EQ(::bind(m_listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) |
                      ::listen(m_listener, 4) | ::chown(path.c_str(), owner, owner),
                  0);
        if (mode == Silent) return;
        m_client = std::thread([this, mode] {
            const int client = ::accept(m_listener, nullptr, nullptr);
            std::uint32_t sync[3];
            if (mode == Answers && ::recv(client, sync, sizeof sync, MSG_WAITALL) == sizeof sync) {
                const std::uint32_t done[] = {sync[2], 12u << 16, 1};
                (void)::send(client, done, sizeof done, MSG_NOSIGNAL);
            }
            ::close(client);
        });
    }
    ~FakeCompositor() {
        ::shutdown(m_listener, SHUT_RDWR);  // ends an accept that no client came to
        if (m_client.joinable()) m_client.join();
        ::close(m_listener);
        ::unlink(m_path.c_str());
    }

private:
    std::string m_path;
    int m_listener;
    std::thread m_client;
};

// Copies of the program in one complete program folder (it looks for its
// files beside its real path). The copies run as a user of their own, with a
// runtime folder of their own, where they keep their lock: a Mirvane of the
// tester's, or the copies of another test program running at the same time,
// would otherwise be met there.
class ProgramCopies : public testing::Test {
protected:
    void SetUp() override {
        if (::geteuid() != 0) GTEST_SKIP() << "runs the copies as a user of their own, which takes root";
        std::filesystem::copy_file(MIRVANE_PROGRAM, folder.dir.file("Mirvane"));
        // Qt wants a runtime folder of the user's own.
        ASSERT_EQ(::chown(home.path().c_str(), m_uid, m_uid), 0);
        ASSERT_EQ(::chmod(home.path().c_str(), 0700), 0);
        environment.insert("HOME", QString::fromStdString(home.path()));
        environment.insert("XDG_RUNTIME_DIR", QString::fromStdString(home.path()));
        environment.insert("QT_QPA_PLATFORM", "offscreen");
    }
    void TearDown() override { std::filesystem::remove_all(lockFolder()); }

    std::string lockFolder() const { return home.file("mirvane"); }

    void start(QProcess& copy, const QProcessEnvironment& env) {
        copy.setProcessEnvironment(env);
        const uid_t uid = m_uid;
        copy.setChildProcessModifier([uid] {
            if (::setgroups(0, nullptr) != 0 || ::setgid(uid) != 0 || ::setuid(uid) != 0) ::_exit(126);
        });
        copy.start(QString::fromStdString(folder.dir.file("Mirvane")), {});
        // The state moves on to Running only when events are handled; a copy
        // that takes its lock before the test looks would otherwise still
        // read as Starting.
        copy.waitForStarted();
    }
    void start(QProcess& copy) { start(copy, environment); }

    // Runs a copy to its end: the exit code, or nothing when it did not end.
    std::optional<int> runToEnd(QProcess& copy, const QProcessEnvironment& env) {
        start(copy, env);
        if (!copy.waitForFinished(5000) || copy.exitStatus() != QProcess::NormalExit) {
            copy.kill();
            copy.waitForFinished();
            return std::nullopt;
        }
        return copy.exitCode();
    }

    QProcessEnvironment withoutDisplay() const {
        QProcessEnvironment env = environment;
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(name);
        return env;
    }

    // Waits until a copy holds the lock, as the system's lock table shows;
    // trying the lock from here could take it from under the copy.
    bool lockTaken() {
        return settled(
            [&] {
                struct stat info {};
                if (::stat((lockFolder() + "/Mirvane.lock").c_str(), &info) != 0) return false;
                const std::string inode = ":" + std::to_string(info.st_ino) + " ";
                std::ifstream locks("/proc/locks");
                for (std::string line; std::getline(locks, line);) {
                    if (line.find(" FLOCK ") != std::string::npos && line.find(inode) != std::string::npos)
                        return true;
                }
                return false;
            },
            true);
    }

    ProgramFolder folder;
    TempDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();

    uid_t uid() const { return m_uid; }

private:
    // No real user has an id this high; the process id keeps test programs
    // that run at the same time apart.
    uid_t m_uid = static_cast<uid_t>(2'000'000'000 + ::getpid());
};

TEST_F(ProgramCopies, SecondEndsAtOnceAndAKilledFirstFreesTheLock) {
    QProcess first;
    start(first);
    ASSERT_TRUE(lockTaken());
    QProcess another;
    EXPECT_EQ(runToEnd(another, environment), 0);
    EXPECT_EQ(first.state(), QProcess::Running);

    first.kill();
    ASSERT_TRUE(first.waitForFinished());
    QProcess next;
    start(next);
    EXPECT_TRUE(lockTaken()) << "the killed copy's lock was not released";
    EXPECT_EQ(next.state(), QProcess::Running);
    QProcess yetAnother;
    EXPECT_EQ(runToEnd(yetAnother, environment), 0);
    next.kill();
    next.waitForFinished();
}

// The second copy meets the first at the lock before it looks for a display.
TEST_F(ProgramCopies, ASecondCopyWithoutADisplayEndsSilentlyWithZero) {
    QProcess first;
    start(first);
    ASSERT_TRUE(lockTaken());
    QProcess second;
    EXPECT_EQ(runToEnd(second, withoutDisplay()), 0);
    EXPECT_TRUE(second.readAllStandardError().isEmpty());
    EXPECT_TRUE(second.readAllStandardOutput().isEmpty());
    EXPECT_EQ(first.state(), QProcess::Running);
    first.kill();
    first.waitForFinished();
}

// A display that is named but not there counts as none, and so does a
// Wayland socket whose listener does not answer as a compositor: Qt would
// otherwise abort with its own message about platform plugins.
TEST_F(ProgramCopies, WithoutAUsableDisplayPrintOneLineAndEndWithOne) {
    const struct {
        const char* name;
        std::vector<std::pair<const char*, const char*>> set;
        std::optional<FakeCompositor::Mode> listener = {};  // on wayland-59 in the runtime folder
    } rows[] = {
        {"nothing set", {}},
        {"an X display nobody serves", {{"DISPLAY", ":59"}}},
        {"a Wayland display nobody serves", {{"WAYLAND_DISPLAY", "wayland-59"}}},
        {"a Wayland socket path nobody serves", {{"WAYLAND_DISPLAY", "/nonexistent/wayland-0"}}},
        {"both, neither served", {{"DISPLAY", ":59"}, {"WAYLAND_DISPLAY", "wayland-59"}}},
        {"a listener that never answers", {{"WAYLAND_DISPLAY", "wayland-59"}}, FakeCompositor::Silent},
        {"a listener that hangs up", {{"WAYLAND_DISPLAY", "wayland-59"}}, FakeCompositor::HangsUp},
        {"X named by the user, not served", {{"QT_QPA_PLATFORM", "xcb"}, {"DISPLAY", ":59"}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QProcessEnvironment env = withoutDisplay();
        for (const auto& [name, value] : row.set) env.insert(name, value);
        std::optional<FakeCompositor> listener;
        if (row.listener) listener.emplace(home.file("wayland-59"), *row.listener, uid());
        QProcess program;
        EXPECT_EQ(runToEnd(program, env), 1);
        EXPECT_EQ(program.readAllStandardError(), kNoDisplay);
        EXPECT_TRUE(program.readAllStandardOutput().isEmpty());
    }
}

// A lock folder that another user made first is not used, though it would
// let the lock be made in it; it does not keep the program from starting
// either: one line naming it, and the window.
TEST_F(ProgramCopies, AnUnsafeLockFolderIsReportedAndTheCopyStartsAlone) {
    ASSERT_TRUE(std::filesystem::create_directory(lockFolder()));
    ASSERT_EQ(::chown(lockFolder().c_str(), 65534, 65534), 0);
    ASSERT_EQ(::chmod(lockFolder().c_str(), 0777), 0);
    QProcess program;
    start(program);
    EXPECT_FALSE(program.waitForFinished(1500)) << "the program did not start";
    const QString error = QString::fromUtf8(program.readAllStandardError());
    EXPECT_TRUE(error.contains(QString::fromStdString(lockFolder()))) << error.toStdString();
    EXPECT_FALSE(std::filesystem::exists(lockFolder() + "/Mirvane.lock"));
    program.kill();
    program.waitForFinished();
}

// The test program's own environment, changed for the life of the object.
class ScopedEnvironment {
public:
    void set(const char* name, const std::optional<std::string>& value) {
        const char* previous = std::getenv(name);
        m_saved.emplace_back(name, previous ? std::optional<std::string>(previous) : std::nullopt);
        value ? ::setenv(name, value->c_str(), 1) : ::unsetenv(name);
    }
    ~ScopedEnvironment() {
        for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it)
            it->second ? ::setenv(it->first.c_str(), it->second->c_str(), 1) : ::unsetenv(it->first.c_str());
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

TEST(PlatformCheck, AWaylandSocketCountsOnlyWhenItsCompositorAnswers) {
    TempDir runtime;
    ScopedEnvironment env;
    env.set("XDG_RUNTIME_DIR", runtime.path());
    env.set("WAYLAND_DISPLAY", "wayland-test");
    EXPECT_FALSE(WaylandCompositorAnswers()) << "no socket";
    const std::string path = runtime.file("wayland-test");
    for (const auto& [mode, name, answers] : {std::tuple{FakeCompositor::Silent, "wayland-test", false},
                                              std::tuple{FakeCompositor::HangsUp, "wayland-test", false},
                                              std::tuple{FakeCompositor::Answers, "wayland-test", true},
                                              std::tuple{FakeCompositor::Answers, path.c_str(), true}}) {
        const FakeCompositor listener(path, mode);
        env.set("WAYLAND_DISPLAY", name);
        EXPECT_EQ(WaylandCompositorAnswers(), answers) << mode << " " << name;
    }
    env.set("DISPLAY", ":59");
    env.set("QT_QPA_PLATFORM", "wayland;offscreen;xcb");
    EXPECT_EQ(UsablePlatforms(), "offscreen") << "the user's list less what cannot start";
}

}  // namespace
}  // namespace mirvane::test
