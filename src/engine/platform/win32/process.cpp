// The encoder's process: started suspended into a job object that kills the
// encoder and everything it starts when the job is closed, also when this
// program dies, however it dies; one pipe for both of its outputs.

#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/platform/process.h"
#include "engine/platform/win32/win32_internal.h"

namespace mirvane::platform {

using win32::Handle;
using win32::lastError;
using win32::toWide;

namespace {

// Large enough that a burst of progress lines does not stall the encoder
// between two reads.
constexpr DWORD kPipeBufferSize = 64 * 1024;

// Exit code of a killed encoder; nothing reads it but a person in a debugger.
constexpr UINT kKilledExitCode = 1;

Handle makeKillOnCloseJob(std::error_code& error) {
    Handle job(CreateJobObjectW(nullptr, nullptr));
    if (!job) {
        error = lastError();
        return {};
    }
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        error = lastError();
        return {};
    }
    return job;
}

// The list of handles the child may inherit: only these, whatever else in
// this program was made inheritable by someone else at the same moment.
class InheritList {
public:
    std::error_code init(std::vector<HANDLE> handles) {
        m_handles = std::move(handles);
        SIZE_T size = 0;
        InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        m_buffer.resize(size);
        auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(m_buffer.data());
        if (!InitializeProcThreadAttributeList(list, 1, 0, &size)) return lastError();
        m_list = list;
        if (!UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, m_handles.data(),
                                       m_handles.size() * sizeof(HANDLE), nullptr, nullptr)) {
            return lastError();
        }
        return {};
    }
    ~InheritList() {
        if (m_list) DeleteProcThreadAttributeList(m_list);
    }
    LPPROC_THREAD_ATTRIBUTE_LIST get() const { return m_list; }

private:
    std::vector<HANDLE> m_handles;
    std::vector<char> m_buffer;
    LPPROC_THREAD_ATTRIBUTE_LIST m_list = nullptr;
};

}  // namespace

struct EncoderProcess::Impl {
    std::mutex lock;  // guards process and job against a kill racing the reap
    Handle process;   // empty: no encoder of this run left to kill
    Handle job;
    Handle readEnd;
    Handle writeEnd;
    bool killed = false;
    std::optional<int> exitCode;

    // Called with the lock held once the encoder has ended, before its handle goes.
    void endRun() {
        DWORD code = 0;
        if (!killed && GetExitCodeProcess(process.get(), &code)) exitCode = static_cast<int>(code);
        process.reset();
    }
};

EncoderProcess::EncoderProcess() : m_impl(std::make_unique<Impl>()) {}

EncoderProcess::~EncoderProcess() {
    if (m_impl->process) kill();
    close();
}

std::error_code EncoderProcess::start(const std::string& program, const std::string& commandLine) {
    if (program.empty()) return std::make_error_code(std::errc::invalid_argument);
    if (m_impl->process || m_impl->readEnd || m_impl->writeEnd) {
        return std::make_error_code(std::errc::device_or_resource_busy);
    }
    m_impl->killed = false;
    m_impl->exitCode.reset();
    std::error_code error;

    // Both ends are made uninheritable; the write end alone is then opened
    // to inheritance and named in the child's inherit list.
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, nullptr, kPipeBufferSize)) return lastError();
    Handle reader(readEnd);
    Handle writer(writeEnd);
    if (!SetHandleInformation(writer.get(), HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT)) return lastError();

    // Standard input reads as empty, so an encoder that waits for keys
    // (ffmpeg asks for 'q') ends its wait at once.
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    Handle nullInput(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!nullInput) return lastError();

    Handle job = makeKillOnCloseJob(error);
    if (!job) return error;

    InheritList inherit;
    if ((error = inherit.init({writer.get(), nullInput.get()}))) return error;

    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = nullInput.get();
    startup.StartupInfo.hStdOutput = writer.get();
    startup.StartupInfo.hStdError = writer.get();
    startup.lpAttributeList = inherit.get();

    // The program is named explicitly, so the system never searches for it
    // nor takes it from the command line; the command line is handed over
    // as built (the system needs a copy it may write to).
    const std::wstring application = toWide(program);
    std::wstring line = toWide(commandLine);
    PROCESS_INFORMATION created{};
    // Suspended until it is in the job: it cannot start anything that would
    // escape the job before then.
    if (!CreateProcessW(
            application.c_str(), line.data(), nullptr, nullptr, TRUE,
            CREATE_NO_WINDOW | CREATE_SUSPENDED | EXTENDED_STARTUPINFO_PRESENT | CREATE_UNICODE_ENVIRONMENT,
            nullptr, nullptr, &startup.StartupInfo, &created)) {
        return lastError();
    }
    Handle process(created.hProcess);
    Handle thread(created.hThread);
    if (!AssignProcessToJobObject(job.get(), process.get()) ||
        ResumeThread(thread.get()) == static_cast<DWORD>(-1)) {
        error = lastError();
        TerminateProcess(process.get(), kKilledExitCode);
        WaitForSingleObject(process.get(), INFINITE);
        return error;
    }

    m_impl->readEnd = std::move(reader);
    m_impl->writeEnd = std::move(writer);
    std::lock_guard lock(m_impl->lock);
    m_impl->process = std::move(process);
    m_impl->job = std::move(job);
    return {};
}

bool EncoderProcess::closeWriteEnd() {
    if (!m_impl->writeEnd) return false;
    return m_impl->writeEnd.reset();
}

// A broken pipe is the pipe's end: every process that held the write end has
// closed it or has ended.
std::ptrdiff_t EncoderProcess::read(char* buffer, std::size_t size) {
    if (!m_impl->readEnd) {
        SetLastError(ERROR_INVALID_HANDLE);
        return -1;
    }
    const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    while (true) {
        DWORD got = 0;
        if (!ReadFile(m_impl->readEnd.get(), buffer, wanted, &got, nullptr)) {
            return GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
        }
        // A write of no bytes at the other end completes a read of none; only
        // the broken pipe means the end.
        if (got > 0 || wanted == 0) return static_cast<std::ptrdiff_t>(got);
    }
}

bool EncoderProcess::hasEnded() {
    std::lock_guard lock(m_impl->lock);
    if (!m_impl->process) return true;
    const DWORD state = WaitForSingleObject(m_impl->process.get(), 0);
    if (state == WAIT_TIMEOUT) return false;
    m_impl->endRun();
    return true;
}

bool EncoderProcess::waitForEnd(std::chrono::milliseconds timeout) {
    if (hasEnded()) return true;
    // Only this thread reaps, and a kill never closes the handle, so the
    // handle stays valid through the wait without the lock.
    // INFINITE is itself a count of milliseconds: anything longer waits just short of it.
    const auto milliseconds = std::clamp<std::chrono::milliseconds::rep>(timeout.count(), 0, INFINITE - 1);
    WaitForSingleObject(m_impl->process.get(), static_cast<DWORD>(milliseconds));
    return hasEnded();
}

// The job holds only this run's encoder and what it started, and the job
// handle is this run's own: a kill can never reach anyone else's process.
// Once the encoder is reaped a kill does nothing, as on POSIX systems.
void EncoderProcess::kill() {
    std::lock_guard lock(m_impl->lock);
    if (!m_impl->process) return;
    m_impl->killed = true;
    TerminateJobObject(m_impl->job.get(), kKilledExitCode);
}

std::optional<int> EncoderProcess::exitCode() const { return m_impl->exitCode; }

void EncoderProcess::close() {
    m_impl->readEnd.reset();
    m_impl->writeEnd.reset();
    // Only this thread changes the handles, so they can be read here without
    // the lock. The wait must not hold it: a kill from another thread would
    // block for as long as the encoder lives.
    if (m_impl->process) WaitForSingleObject(m_impl->process.get(), INFINITE);
    std::lock_guard lock(m_impl->lock);
    if (m_impl->process) m_impl->endRun();
    // Closing the job ends whatever the encoder started and left running.
    m_impl->job.reset();
}

}  // namespace mirvane::platform
