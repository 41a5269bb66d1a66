// Two real copies of the program on a real X server: the files a second copy
// is started with become rows of the first, in order, also while it
// converts; another user cannot reach the first. The rows are seen through
// what the first copy does with them: a batch converts them top to bottom,
// and its log names each file in that order.

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <cstring>
#include <filesystem>
#include <string>

#include "form_fixture.h"
#include "ui_test_main.h"

namespace mirvane::test {
namespace {

namespace fs = std::filesystem;

// Each job takes a while; its last words in the log are the summary.
constexpr const char* kSlowPreset =
    "[List]\nListTitle00=Slow\nListOption00=progress:1:700 -i %INPFILE %OUTFILE\nListExt00=.out\n";
constexpr const char* kJobDone = "muxing overhead";

int occurrences(const std::string& text, const std::string& word) {
    int count = 0;
    for (auto at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) ++count;
    return count;
}

// A portable program folder of a user of its own, as in the other tests of
// the real program: the lock lives in one place per user.
class HandOverCopies : public testing::Test {
protected:
    void SetUp() override {
        if (::geteuid() != 0) GTEST_SKIP() << "runs the copies as a user of their own, which takes root";
        fs::copy_file(MIRVANE_PROGRAM, folder.file("Mirvane"));
        folder.write("MovieSet.ini", kSlowPreset);
        fs::create_directory(folder.file("ffmpeg"));
        fs::copy_file(MIRVANE_FAKE_ENCODER, folder.file("ffmpeg/ffmpeg"));
        for (const std::string& path : {folder.path(), home.path()}) {
            ASSERT_EQ(::chown(path.c_str(), m_uid, m_uid), 0);
            ASSERT_EQ(::chmod(path.c_str(), 0700), 0);
        }
        environment.insert("HOME", QString::fromStdString(home.path()));
        environment.insert("XDG_RUNTIME_DIR", QString::fromStdString(home.path()));
        environment.insert("QT_QPA_PLATFORM", "xcb");
        // The server's cookie, where the copies' user can read it.
        if (const char* cookie = std::getenv("XAUTHORITY")) {
            const std::string own = home.file(".Xauthority");
            fs::copy_file(cookie, own);
            ASSERT_EQ(::chown(own.c_str(), m_uid, m_uid), 0);
            environment.insert("XAUTHORITY", QString::fromStdString(own));
        }
    }
    void TearDown() override {
        if (first.state() != QProcess::NotRunning) {
            first.kill();
            first.waitForFinished();
        }
        fs::remove_all(lockFolder());
    }

    std::string lockFolder() const { return home.file("mirvane"); }
    std::string socket() const { return lockFolder() + "/Mirvane.socket"; }
    std::string log() const { return folder.file("Mirvane.log"); }
    QString file(const char* name) const { return QString::fromStdString(home.file(name)); }

    void start(QProcess& copy, const QStringList& files) {
        copy.setProcessEnvironment(environment);
        const uid_t uid = m_uid;
        copy.setChildProcessModifier([uid] {
            if (::setgroups(0, nullptr) != 0 || ::setgid(uid) != 0 || ::setuid(uid) != 0) ::_exit(126);
        });
        copy.start(QString::fromStdString(folder.file("Mirvane")), files);
    }

    // A second copy run to its end: its exit code, or -1 when it did not end
    // within 10 s; its output must be empty.
    int runSecond(const QStringList& files, qint64* took = nullptr) {
        QProcess second;
        QElapsedTimer timer;
        timer.start();
        start(second, files);
        if (!second.waitForFinished(10000)) {
            second.kill();
            second.waitForFinished();
            return -1;
        }
        if (took) *took = timer.elapsed();
        EXPECT_TRUE(second.readAllStandardError().isEmpty());
        EXPECT_TRUE(second.readAllStandardOutput().isEmpty());
        return second.exitStatus() == QProcess::NormalExit ? second.exitCode() : -1;
    }

    static QString run(const QString& program, const QStringList& arguments) {
        QProcess process;
        process.start(program, arguments);
        if (!process.waitForFinished(20000)) process.kill();
        return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    }

    // The start button of the first copy's window, pressed with the pointer,
    // which then leaves the window so that the button is not drawn hovered.
    void pressStart() {
        run("xdotool",
            {"mousemove", "--window", window, "46", "26", "click", "1", "mousemove", "1000", "700"});
    }
    QImage startButton() const {
        return QGuiApplication::primaryScreen()->grabWindow(window.toULong(), 4, 4, 85, 45).toImage();
    }

    TempDir folder;
    TempDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QProcess first;
    QString window;
    // No real user has an id this high; the process id keeps test programs
    // that run at the same time apart.
    uid_t m_uid = static_cast<uid_t>(2'000'000'000 + ::getpid());
};

TEST_F(HandOverCopies, FilesOfLaterCopiesBecomeRowsInOrderAndOthersAreKeptOut) {
    start(first, {file("a.avi")});
    ASSERT_TRUE(settled([&] { return fs::exists(fs::symlink_status(socket())); }, true))
        << "the first copy does not listen";
    window = run("xdotool", {"search", "--sync", "--onlyvisible", "--name", "^Mirvane"}).split('\n').first();
    ASSERT_FALSE(window.isEmpty()) << "the first copy's window did not appear";

    EXPECT_EQ(runSecond({file("b.avi"), file("c.avi")}), 0);

    // Another user, even one who knows the socket's name, gets no further
    // than the folder of the first copy's user.
    QProcess intruder;
    intruder.start("setpriv", {"--reuid", QString::number(m_uid + 1), "--regid", QString::number(m_uid + 1),
                               "--clear-groups", MIRVANE_HAND_OVER_SEND, QString::fromStdString(socket()),
                               "2000", file("intruder.avi")});
    ASSERT_TRUE(intruder.waitForFinished(10000));
    EXPECT_EQ(intruder.exitCode(), 1);
    EXPECT_EQ(intruder.readAllStandardError().trimmed().toStdString(), std::strerror(EACCES));

    pressStart();
    ASSERT_EQ(settled([&] { return readBytes(log()).find("a.avi") != std::string::npos; }, true), true)
        << "the batch did not start";
    QTest::qWait(200);
    const QImage running = startButton();

    // A copy started during the batch is not held up by it; its file waits
    // for the batch's end.
    qint64 took = 0;
    EXPECT_EQ(runSecond({file("d.avi")}, &took), 0);
    EXPECT_LT(took, 2000);
    ASSERT_EQ(settled([&] { return occurrences(readBytes(log()), kJobDone); }, 3), 3);
    const std::string batch = readBytes(log());
    const auto a = batch.find("a.avi"), b = batch.find("b.avi"), c = batch.find("c.avi");
    EXPECT_TRUE(a < b && b < c && c != std::string::npos) << batch;
    EXPECT_EQ(batch.find("d.avi"), std::string::npos) << "a file handed over during the batch joined it";
    EXPECT_EQ(batch.find("intruder.avi"), std::string::npos);

    // The button reads "start" again once the batch is over; the handed-over
    // file is then a row of its own, converted by the next start.
    ASSERT_TRUE(settled([&] { return startButton() != running; }, true)) << "the batch did not end";
    pressStart();
    ASSERT_EQ(settled([&] { return occurrences(readBytes(log()), kJobDone); }, 1), 1);
    const std::string next = readBytes(log());
    EXPECT_NE(next.find("d.avi"), std::string::npos) << next;
    EXPECT_EQ(next.find("a.avi"), std::string::npos) << next;
}

}  // namespace
}  // namespace mirvane::test
