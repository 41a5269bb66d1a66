// Files handed from a second copy to the running one over a named pipe whose
// name holds the user's identity and session. Only this user may open it
// (its access list names no one else), remote clients are refused, and its
// instances are made once, the first as the first of its name, and kept: a
// pipe of that name made first by anyone else stops the listener from
// starting rather than letting it share the name, and a sender hands its
// files only to a listener that runs as its own user.

#include <algorithm>
#include <memory>
#include <thread>
#include <vector>
#include <utility>

#include "engine/platform/hand_over.h"
#include "engine/formats/hand_over_message.h"
#include "engine/platform/win32/win32_internal.h"

// Needs the declarations of windows.h before it.
#include <sddl.h>

namespace mirvane::platform {

namespace {

using Clock = std::chrono::steady_clock;

// What a listener answers once it has the files: the sender may end.
constexpr char kTaken = 'T';
// Each sender heard has an instance of the pipe of its own.
constexpr DWORD kInstances = kHandOverSendersAtOnce;
// Between attempts to reach a copy that has taken the lock but does not
// listen yet.
constexpr auto kRetryPause = std::chrono::milliseconds(20);

DWORD millisecondsLeft(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<DWORD>(left) : 0;
}

std::wstring pipeName(const std::string& name, const std::wstring& sid) {
    DWORD session = 0;
    ProcessIdToSessionId(GetCurrentProcessId(), &session);
    return L"\\\\.\\pipe\\" + win32::toWide(name) + L"-" + sid + L"-" + std::to_wstring(session);
}

enum class Io { Done, TimedOut, Failed };

// One overlapped read or write of the whole buffer on a pipe opened for
// overlapped use, until the deadline.
Io transfer(HANDLE pipe, bool write, char* data, std::size_t size, Clock::time_point deadline) {
    const win32::Handle done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!done) return Io::Failed;
    for (std::size_t moved = 0; moved < size;) {
        OVERLAPPED overlapped{};
        overlapped.hEvent = done.get();
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size - moved, 1 << 20));
        const BOOL finished = write ? WriteFile(pipe, data + moved, chunk, nullptr, &overlapped)
                                    : ReadFile(pipe, data + moved, chunk, nullptr, &overlapped);
        if (!finished && GetLastError() != ERROR_IO_PENDING) return Io::Failed;
        if (WaitForSingleObject(done.get(), millisecondsLeft(deadline)) != WAIT_OBJECT_0) {
            // The transfer must be over before its buffer and event go.
            CancelIoEx(pipe, &overlapped);
            DWORD ignored = 0;
            GetOverlappedResult(pipe, &overlapped, &ignored, TRUE);
            return Io::TimedOut;
        }
        DWORD count = 0;
        if (!GetOverlappedResult(pipe, &overlapped, &count, FALSE) || count == 0) return Io::Failed;
        moved += count;
    }
    return Io::Done;
}

// True when the process at the pipe's other end runs as the given user:
// a pipe of the name another account made first is not this user's copy.
bool servedBy(HANDLE pipe, const std::wstring& sid) {
    ULONG server = 0;
    if (!GetNamedPipeServerProcessId(pipe, &server)) return false;
    const win32::Handle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, server));
    if (!process) return false;
    std::error_code error;
    return win32::processUserSid(process.get(), error) == sid;
}

// One instance of the pipe and the sender it hears: each instance has its
// own deadline, so a sender that says nothing holds up no other.
class PipeInstance {
public:
    PipeInstance(win32::Handle pipe, win32::Handle event) : m_pipe(std::move(pipe)), m_event(std::move(event)) {}

    HANDLE event() const { return m_event.get(); }
    bool busy() const { return m_step != Step::Idle; }
    bool hearing() const { return m_step != Step::Idle && m_step != Step::Connecting; }
    Clock::time_point deadline() const { return m_deadline; }

    // Waits for the next sender.
    void connect() {
        reset();
        m_step = Step::Connecting;
        if (ConnectNamedPipe(m_pipe.get(), begin())) return;
        const DWORD error = GetLastError();
        if (error == ERROR_IO_PENDING) return;
        // Connected between the instance's making and the call: no I/O is
        // pending, so the event is set by hand.
        if (error == ERROR_PIPE_CONNECTED) {
            SetEvent(m_event.get());
            m_connectedAlready = true;
            return;
        }
        m_step = Step::Idle;
    }

    // The instance's I/O has ended: the next step, or the next sender.
    void completed(const HandOverListener::Receiver& receiver) {
        DWORD count = 0;
        const bool done = m_connectedAlready || GetOverlappedResult(m_pipe.get(), &m_overlapped, &count, FALSE);
        m_connectedAlready = false;
        switch (m_step) {
        case Step::Connecting:
            if (!done) return connect();
            m_deadline = Clock::now() + kHandOverSenderDeadline;
            return read();
        case Step::Reading:
            if (!done || count == 0) return connect();
            switch (m_reader.take({m_buffer, count})) {
            case HandOverReader::State::Reading:
                return read();
            case HandOverReader::State::Refused:
                return connect();
            case HandOverReader::State::Done:
                receiver(m_reader.takeFiles());
                return answer();
            }
            return;
        case Step::Answering:
            if (!done) return connect();
            return awaitClose();
        case Step::Closing:
        case Step::Idle:
            return connect();
        }
    }

    // Drops a sender whose time ran out.
    void expire() {
        stop();
        connect();
    }

    // Ends the pending I/O: its buffer and event must outlive it.
    void stop() {
        if (m_step == Step::Idle) return;
        CancelIoEx(m_pipe.get(), &m_overlapped);
        DWORD ignored = 0;
        GetOverlappedResult(m_pipe.get(), &m_overlapped, &ignored, TRUE);
        m_step = Step::Idle;
    }

private:
    enum class Step { Idle, Connecting, Reading, Answering, Closing };

    OVERLAPPED* begin() {
        ResetEvent(m_event.get());
        m_overlapped = {};
        m_overlapped.hEvent = m_event.get();
        return &m_overlapped;
    }

    void reset() {
        if (m_step != Step::Idle && m_step != Step::Connecting) DisconnectNamedPipe(m_pipe.get());
        m_reader = HandOverReader();
        m_deadline = Clock::time_point::max();
    }

    // Never more than the message may still hold.
    void read() {
        m_step = Step::Reading;
        const DWORD wanted = static_cast<DWORD>(std::min(m_reader.wanted(), sizeof m_buffer));
        if (!ReadFile(m_pipe.get(), m_buffer, wanted, nullptr, begin()) && GetLastError() != ERROR_IO_PENDING)
            connect();
    }

    void answer() {
        m_step = Step::Answering;
        if (!WriteFile(m_pipe.get(), &kTaken, 1, nullptr, begin()) && GetLastError() != ERROR_IO_PENDING)
            connect();
    }

    // Disconnecting throws away what the sender has not read yet: the answer
    // stays until the sender, having read it, closes its end.
    void awaitClose() {
        m_step = Step::Closing;
        if (!ReadFile(m_pipe.get(), m_buffer, 1, nullptr, begin()) && GetLastError() != ERROR_IO_PENDING)
            connect();
    }

    win32::Handle m_pipe;
    win32::Handle m_event;
    OVERLAPPED m_overlapped{};
    Step m_step = Step::Idle;
    bool m_connectedAlready = false;
    Clock::time_point m_deadline = Clock::time_point::max();
    HandOverReader m_reader;
    char m_buffer[64 * 1024];
};

class PipeListener final : public HandOverListener {
public:
    PipeListener(std::vector<std::unique_ptr<PipeInstance>> instances, win32::Handle stop, Receiver receiver)
        : m_instances(std::move(instances)), m_stop(std::move(stop)), m_receiver(std::move(receiver)) {}

    std::error_code start() {
        try {
            m_thread = std::thread([this] { run(); });
        } catch (const std::system_error& error) {
            return error.code();
        }
        return {};
    }

    ~PipeListener() override {
        SetEvent(m_stop.get());
        if (m_thread.joinable()) m_thread.join();
    }

private:
    void run() {
        for (auto& instance : m_instances) instance->connect();
        for (;;) {
            std::vector<HANDLE> events{m_stop.get()};
            std::vector<PipeInstance*> waiting;
            Clock::time_point next = Clock::time_point::max();
            for (auto& instance : m_instances) {
                if (!instance->busy()) continue;
                events.push_back(instance->event());
                waiting.push_back(instance.get());
                if (instance->hearing()) next = std::min(next, instance->deadline());
            }
            const DWORD timeout = next == Clock::time_point::max() ? INFINITE : millisecondsLeft(next);
            const DWORD waited = WaitForMultipleObjects(static_cast<DWORD>(events.size()), events.data(), FALSE, timeout);
            if (waited == WAIT_OBJECT_0 || waited == WAIT_FAILED) break;
            if (waited > WAIT_OBJECT_0 && waited < WAIT_OBJECT_0 + events.size())
                waiting[waited - WAIT_OBJECT_0 - 1]->completed(m_receiver);
            const auto now = Clock::now();
            for (PipeInstance* instance : waiting) {
                if (instance->hearing() && instance->deadline() <= now) instance->expire();
            }
        }
        for (auto& instance : m_instances) instance->stop();
    }

    std::vector<std::unique_ptr<PipeInstance>> m_instances;
    win32::Handle m_stop;
    Receiver m_receiver;
    std::thread m_thread;
};

// The access list of the pipe: this user alone, whatever the default one of
// the process would grant others (read access to everyone, among others).
std::error_code userOnlySecurity(const std::wstring& sid, PSECURITY_DESCRIPTOR& descriptor) {
    const std::wstring sddl = L"D:P(A;;GA;;;" + sid + L")";
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor,
                                                              nullptr))
        return win32::lastError();
    return {};
}

}  // namespace

std::unique_ptr<HandOverListener> HandOverListener::start(const std::string& name, Receiver receiver,
                                                          std::error_code& error) {
    const std::wstring sid = win32::userSid(error);
    if (sid.empty()) return nullptr;
    const std::wstring path = pipeName(name, sid);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if ((error = userOnlySecurity(sid, descriptor))) return nullptr;
    SECURITY_ATTRIBUTES security{sizeof security, descriptor, FALSE};
    std::vector<std::unique_ptr<PipeInstance>> instances;
    for (DWORD i = 0; i < kInstances && !error; ++i) {
        // The first instance must be the first of its name: a pipe another
        // account made first is never shared.
        const DWORD first = i == 0 ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0;
        win32::Handle pipe(CreateNamedPipeW(path.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | first,
                                            PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
                                            kInstances, 4096, 4096, 0, &security));
        if (!pipe) {
            error = win32::lastError();
            break;
        }
        win32::Handle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (!event) {
            error = win32::lastError();
            break;
        }
        instances.push_back(std::make_unique<PipeInstance>(std::move(pipe), std::move(event)));
    }
    LocalFree(descriptor);
    if (error) return nullptr;
    win32::Handle stop(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!stop) {
        error = win32::lastError();
        return nullptr;
    }
    auto listener = std::make_unique<PipeListener>(std::move(instances), std::move(stop), std::move(receiver));
    if ((error = listener->start())) return nullptr;
    return listener;
}

std::error_code handOverFiles(const std::string& name, const std::vector<std::string>& files,
                              std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    std::optional<std::string> message = EncodeHandOver(files);
    if (!message) return win32::windowsError(ERROR_BUFFER_OVERFLOW);
    std::error_code error;
    const std::wstring sid = win32::userSid(error);
    if (sid.empty()) return error;
    const std::wstring path = pipeName(name, sid);

    win32::Handle pipe;
    for (;;) {
        const HANDLE opened =
            CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                        FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr);
        const DWORD failure = GetLastError();
        if (opened != INVALID_HANDLE_VALUE) {
            pipe = win32::Handle(opened);
            break;
        }
        // A copy that holds the lock may not listen yet (it is starting up),
        // or it is serving another copy: both pass.
        if (failure != ERROR_FILE_NOT_FOUND && failure != ERROR_PIPE_BUSY) return win32::windowsError(failure);
        if (Clock::now() >= deadline) return win32::windowsError(ERROR_TIMEOUT);
        if (failure == ERROR_PIPE_BUSY) {
            WaitNamedPipeW(path.c_str(), std::max<DWORD>(1, millisecondsLeft(deadline)));
        } else {
            std::this_thread::sleep_for(kRetryPause);
        }
    }
    if (!servedBy(pipe.get(), sid)) return win32::windowsError(ERROR_ACCESS_DENIED);
    // The running copy brings its window forward for the files; the system
    // lets it only with the leave of the program in front, this one.
    ULONG server = 0;
    if (GetNamedPipeServerProcessId(pipe.get(), &server)) AllowSetForegroundWindow(server);

    switch (transfer(pipe.get(), true, message->data(), message->size(), deadline)) {
    case Io::Done:
        break;
    case Io::TimedOut:
        return win32::windowsError(ERROR_TIMEOUT);
    default:
        return win32::lastError();
    }
    char answer = 0;
    switch (transfer(pipe.get(), false, &answer, 1, deadline)) {
    case Io::Done:
        return answer == kTaken ? std::error_code{} : win32::windowsError(ERROR_INVALID_DATA);
    case Io::TimedOut:
        return win32::windowsError(ERROR_TIMEOUT);
    default:
        // Closed without the answer: the listener refused the message.
        return win32::windowsError(ERROR_BROKEN_PIPE);
    }
}

}  // namespace mirvane::platform
