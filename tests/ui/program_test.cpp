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
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "form_fixture.h"
#include "ui_test_main.h"

namespace mirvane::test {
namespace {

const QByteArray kNoDisplay = "Mirvane needs a graphical session (no display found).\n";

// Copies of the program in one complete program folder (it looks for its
// files beside its real path). The lock lives in one place per user whatever
// the environment says, so the copies run as a user of their own: a Mirvane
// of the tester's, or the copies of another test program running at the same
// time, would otherwise be met there.
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

    std::string lockFolder() const { return "/tmp/mirvane-" + std::to_string(m_uid); }

    void start(QProcess& copy, const QProcessEnvironment& env) {
        copy.setProcessEnvironment(env);
        const uid_t uid = m_uid;
        copy.setChildProcessModifier([uid] {
            if (::setgroups(0, nullptr) != 0 || ::setgid(uid) != 0 || ::setuid(uid) != 0) ::_exit(126);
        });
        copy.start(QString::fromStdString(folder.dir.file("Mirvane")), {});
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

// Without any display Qt would abort with a message about platform plugins.
TEST_F(ProgramCopies, WithoutADisplayPrintOneLineAndEndWithOne) {
    QProcess program;
    EXPECT_EQ(runToEnd(program, withoutDisplay()), 1);
    EXPECT_EQ(program.readAllStandardError(), kNoDisplay);
    EXPECT_TRUE(program.readAllStandardOutput().isEmpty());
}

// A lock folder that another user made first is not used, though it would
// let the lock be made in it: one line naming it, and no window.
TEST_F(ProgramCopies, AnUnsafeLockFolderIsReportedAndEndsWithOne) {
    ASSERT_TRUE(std::filesystem::create_directory(lockFolder()));
    ASSERT_EQ(::chown(lockFolder().c_str(), 65534, 65534), 0);
    ASSERT_EQ(::chmod(lockFolder().c_str(), 0777), 0);
    QProcess program;
    EXPECT_EQ(runToEnd(program, environment), 1);
    const QString error = QString::fromUtf8(program.readAllStandardError());
    EXPECT_TRUE(error.contains(QString::fromStdString(lockFolder()))) << error.toStdString();
    EXPECT_EQ(error.count('\n'), 1) << error.toStdString();
}

}  // namespace
}  // namespace mirvane::test
