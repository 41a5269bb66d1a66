// The encoder's process on Windows: what it inherits, and that a kill, the
// end of a run and the end of the program take the encoder and everything it
// started with them (the job object), and nothing else.

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <regex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "engine/formats/command_line.h"
#include "engine/platform/files.h"
#include "engine/platform/process.h"
#include "support/descriptor_count.h"
#include "support/encoder_runs.h"
#include "support/temp_dir.h"

namespace mirvane::platform {
namespace {

using namespace std::chrono_literals;
using test::fakeCommand;
using test::readPidFile;
using test::readToEnd;
using test::runToEnd;
using test::waitUntil;

std::wstring wide(const std::string& text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end())).wstring();
}

// A process held from the moment its id is known: the system gives an ended
// process's id to new ones (Wine at once), so asking by the id later could
// find another process alive. Whatever a failed test left running ends with it.
class HeldProcess {
public:
    explicit HeldProcess(int id)
        : m_id(id), m_handle(OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, static_cast<DWORD>(id))) {}
    HeldProcess(HeldProcess&& other) noexcept : m_id(other.m_id), m_handle(std::exchange(other.m_handle, nullptr)) {}
    HeldProcess(const HeldProcess&) = delete;
    HeldProcess& operator=(const HeldProcess&) = delete;
    HeldProcess& operator=(HeldProcess&&) = delete;
    ~HeldProcess() {
        if (m_handle == nullptr) return;
        TerminateProcess(m_handle, 1);
        CloseHandle(m_handle);
    }

    int id() const { return m_id; }
    bool alive() const { return m_handle != nullptr && WaitForSingleObject(m_handle, 0) == WAIT_TIMEOUT; }
    bool endsSoon() const { return m_handle == nullptr || WaitForSingleObject(m_handle, 5000) == WAIT_OBJECT_0; }

private:
    int m_id;
    HANDLE m_handle;
};

std::vector<HeldProcess> hold(const std::vector<int>& ids) {
    std::vector<HeldProcess> held;
    for (const int id : ids) held.emplace_back(id);
    return held;
}

// Ends whatever a failed test left running.
void terminate(const std::vector<int>& ids) {
    for (const int id : ids) {
        const HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(id));
        if (process == nullptr) continue;
        TerminateProcess(process, 1);
        CloseHandle(process);
    }
}

std::string handleLine(const std::string& output) {
    const std::size_t end = output.find('\n');
    return output.substr(0, end);
}

// Handles others in the program made inheritable, carelessly or for their own
// child, must not reach the encoder: only its output pipe and its input do.
TEST(EncoderProcess, InheritsOnlyItsOutputPipeAndAnEmptyInput) {
    const std::string alone = handleLine(runToEnd({"handles"}));
    std::smatch counted;
    ASSERT_TRUE(std::regex_match(alone, counted, std::regex("handles=(\\d+) stdin=eof"))) << alone;

    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    const HANDLE event = CreateEventW(&inheritable, TRUE, FALSE, nullptr);
    HANDLE pipeRead = nullptr;
    HANDLE pipeWrite = nullptr;
    ASSERT_TRUE(CreatePipe(&pipeRead, &pipeWrite, &inheritable, 0));
    ASSERT_NE(event, nullptr);
    const std::string withCareless = handleLine(runToEnd({"handles"}));
    for (const HANDLE handle : {event, pipeRead, pipeWrite}) CloseHandle(handle);
    EXPECT_EQ(withCareless, alone) << "the encoder inherited handles that are not its own";
}

TEST(EncoderProcess, KillFromAnotherThreadEndsTheWholeTreeAndTheBlockedRead) {
    TempDir dir;
    struct Row {
        const char* name;
        std::vector<std::string> steps;  // print "ready" once set up, then keep the pipe open
    };
    const Row rows[] = {
        {"silent encoder", {"print:ready", "hang"}},
        {"grandchild of a running encoder", {"grandchild:20000", "print:ready", "hang"}},
        {"grandchild of an encoder that has exited", {"grandchild:20000", "print:ready", "exit:0"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<std::string> steps = row.steps;
        steps.insert(steps.begin(), "pidfile:" + dir.file(row.name));
        EncoderProcess process;
        ASSERT_FALSE(process.start(MIRVANE_FAKE_ENCODER, fakeCommand(steps)));
        process.closeWriteEnd();
        const int pid = readPidFile(dir.file(row.name));
        char buffer[16];
        const std::ptrdiff_t got = process.read(buffer, sizeof buffer);
        ASSERT_EQ(std::string(buffer, got > 0 ? static_cast<std::size_t>(got) : 0), "ready");
        const std::vector<HeldProcess> tree = hold(test::livingProcessIdsInGroup(pid));

        std::atomic<bool> readEnded = false;
        std::atomic<bool> rescued = false;
        std::thread stopper([&] {
            process.kill();
            // Lets the test end when the kill missed.
            if (!waitUntil([&] { return readEnded.load(); }, 3s)) {
                rescued = true;
                terminate(test::livingProcessIdsInGroup(pid));
            }
        });
        readToEnd(process);
        readEnded = true;
        stopper.join();
        EXPECT_FALSE(rescued);
        for (const HeldProcess& member : tree)
            EXPECT_TRUE(member.endsSoon()) << "process " << member.id() << " outlived the kill";
        process.close();
    }
}

// Once the encoder is reaped a kill reaches nothing, as on POSIX systems;
// what it left running ends with the run, when the job is closed.
TEST(EncoderProcess, KillAfterTheReapReachesNothingAndCloseEndsWhatTheEncoderLeft) {
    TempDir dir;
    const std::string grandchildFile = dir.file("grandchild");
    EncoderProcess process;
    ASSERT_FALSE(
        process.start(MIRVANE_FAKE_ENCODER, fakeCommand({"grandchild:20000:" + grandchildFile, "exit:0"})));
    process.closeWriteEnd();
    const int grandchildId = readPidFile(grandchildFile);
    ASSERT_GT(grandchildId, 0);
    const HeldProcess grandchild(grandchildId);
    ASSERT_TRUE(waitUntil([&] { return process.hasEnded(); }, 5s));
    process.kill();
    std::this_thread::sleep_for(200ms);
    EXPECT_TRUE(grandchild.alive()) << "a kill after the reap reached a process";
    process.close();
    EXPECT_TRUE(grandchild.endsSoon()) << "what the encoder left outlived the run";
}

TEST(EncoderProcess, AHundredRunsLeaveNoHandleOrProcessBehind) {
    TempDir dir;
    const std::pair<std::string, std::string> scripts[] = {
        {MIRVANE_FAKE_ENCODER, fakeCommand({"print:frame=1\r", "stderr:video:1kB\n"})},
        {MIRVANE_FAKE_ENCODER, fakeCommand({"crash"})},
        {dir.file("missing\\ffmpeg.exe"), "ffmpeg -y"},
    };
    runToEnd({"exit:0"});  // lazily made resources of the first run
    const int handlesBefore = test::openDescriptorCount();
    for (int run = 0; run < 100; ++run) {
        EncoderProcess process;
        const auto& [program, commandLine] = scripts[run % 3];
        if (!process.start(program, commandLine)) {
            process.closeWriteEnd();
            readToEnd(process);
        }
        process.close();
    }
    EXPECT_EQ(test::openDescriptorCount(), handlesBefore);
    EXPECT_EQ(test::childProcessCount(), 0);
}

// A stand-in for the whole program, started outside this test's own jobs,
// killed as the system kills a program (no code of its own runs), and the
// encoder with everything it started must go with it.
TEST(EncoderProcess, EncoderAndEverythingItStartedDieWithTheProgramKilled) {
    TempDir dir;
    struct Row {
        const char* name;
        bool fromWorkerThread;
        bool withGrandchild;
    };
    const Row rows[] = {
        {"started on the main thread", false, false},
        {"started on a worker thread", true, false},
        {"a grandchild of the encoder", true, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string encoderFile = dir.file(std::string(row.name) + " encoder");
        const std::string grandchildFile = dir.file(std::string(row.name) + " grandchild");
        std::vector<std::string> steps = {"pidfile:" + encoderFile};
        if (row.withGrandchild) steps.push_back("grandchild:20000:" + grandchildFile);
        steps.push_back("hang");
        std::string hostLine = QuoteProgram("encoder_host") + " " + QuoteArgument(MIRVANE_FAKE_ENCODER) +
                               " " + QuoteArgument(fakeCommand(steps));
        if (row.fromWorkerThread) hostLine += " --worker";
        std::wstring line = wide(hostLine);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION host{};
        ASSERT_TRUE(CreateProcessW(wide(MIRVANE_ENCODER_HOST).c_str(), line.data(), nullptr, nullptr, FALSE,
                                   CREATE_NO_WINDOW, nullptr, nullptr, &startup, &host));
        CloseHandle(host.hThread);
        std::vector<int> ids = {readPidFile(encoderFile)};
        if (row.withGrandchild) ids.push_back(readPidFile(grandchildFile));
        for (const int id : ids) ASSERT_GT(id, 0);
        const std::vector<HeldProcess> held = hold(ids);

        TerminateProcess(host.hProcess, 1);
        WaitForSingleObject(host.hProcess, INFINITE);
        CloseHandle(host.hProcess);
        for (const HeldProcess& process : held)
            EXPECT_TRUE(process.endsSoon()) << "process " << process.id() << " outlived the program";
    }
}

}  // namespace
}  // namespace mirvane::platform
