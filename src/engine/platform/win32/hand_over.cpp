// Files handed from a second copy to the running one over a named pipe whose
// name holds the user's identity and session. Only this user may open it
// (its access list names no one else), remote clients are refused, and the
// pipe is made once as the first of its name and kept: a pipe of that name
// made first by anyone else stops the listener from starting rather than
// letting it share the name.

#include <atomic>
#include <thread>
#include <utility>

#include "engine/platform/hand_over.h"
#include "engine/platform/hand_over_message.h"
#include "engine/platform/win32/win32_internal.h"

// Needs the declarations of windows.h before it.
#include <sddl.h>

namespace mirvane::platform {

namespace {

using Clock = std::chrono::steady_clock;

// What a listener answers once it has the files: the sender may end.
constexpr char kTaken = 'T';
// A sender that connects but does not send holds the listener at most this
// long; every copy that comes after it waits meanwhile.
constexpr auto kReadTimeout = std::chrono::seconds(2);
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

enum class Io { Done, TimedOut, Stopped, Failed };

// One overlapped read or write of the whole buffer on a pipe opened for
// overlapped use, until the deadline or (when given) the stop event.
Io transfer(HANDLE pipe, bool write, char* data, std::size_t size, Clock::time_point deadline,
            HANDLE stop = nullptr) {
    const win32::Handle done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!done) return Io::Failed;
    for (std::size_t moved = 0; moved < size;) {
        OVERLAPPED overlapped{};
        overlapped.hEvent = done.get();
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size - moved, 1 << 20));
        const BOOL finished = write ? WriteFile(pipe, data + moved, chunk, nullptr, &overlapped)
                                    : ReadFile(pipe, data + moved, chunk, nullptr, &overlapped);
        if (!finished && GetLastError() != ERROR_IO_PENDING) return Io::Failed;
        const HANDLE events[2] = {done.get(), stop};
        const DWORD waited = WaitForMultipleObjects(stop ? 2 : 1, events, FALSE, millisecondsLeft(deadline));
        if (waited != WAIT_OBJECT_0) {
            // The transfer must be over before its buffer and event go.
            CancelIoEx(pipe, &overlapped);
            DWORD ignored = 0;
            GetOverlappedResult(pipe, &overlapped, &ignored, TRUE);
            return waited == WAIT_OBJECT_0 + 1 ? Io::Stopped : Io::TimedOut;
        }
        DWORD count = 0;
        if (!GetOverlappedResult(pipe, &overlapped, &count, FALSE) || count == 0) return Io::Failed;
        moved += count;
    }
    return Io::Done;
}

class PipeListener final : public HandOverListener {
public:
    PipeListener(win32::Handle pipe, win32::Handle stop, Receiver receiver)
        : m_pipe(std::move(pipe)), m_stop(std::move(stop)), m_receiver(std::move(receiver)) {}

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
        const win32::Handle connected(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (!connected) return;
        for (;;) {
            OVERLAPPED overlapped{};
            overlapped.hEvent = connected.get();
            ResetEvent(connected.get());
            if (!ConnectNamedPipe(m_pipe.get(), &overlapped)) {
                const DWORD error = GetLastError();
                if (error == ERROR_IO_PENDING) {
                    const HANDLE events[2] = {connected.get(), m_stop.get()};
                    if (WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0) {
                        CancelIoEx(m_pipe.get(), &overlapped);
                        DWORD ignored = 0;
                        GetOverlappedResult(m_pipe.get(), &overlapped, &ignored, TRUE);
                        return;
                    }
                    DWORD ignored = 0;
                    if (!GetOverlappedResult(m_pipe.get(), &overlapped, &ignored, FALSE)) {
                        DisconnectNamedPipe(m_pipe.get());
                        continue;
                    }
                } else if (error != ERROR_PIPE_CONNECTED) {
                    // A sender that gave up before it was served is simply gone.
                    DisconnectNamedPipe(m_pipe.get());
                    if (WaitForSingleObject(m_stop.get(), 0) == WAIT_OBJECT_0) return;
                    continue;
                }
            }
            const Io served = serve();
            // The same instance serves the next sender, so that the name is
            // never free for anyone else to take.
            DisconnectNamedPipe(m_pipe.get());
            if (served == Io::Stopped) return;
        }
    }

    // Reads one list of files and answers once it has been handed on;
    // anything else is dropped without an answer.
    Io serve() {
        const auto deadline = Clock::now() + kReadTimeout;
        std::string header(kHandOverHeaderSize, '\0');
        if (const Io io = transfer(m_pipe.get(), false, header.data(), header.size(), deadline, m_stop.get());
            io != Io::Done)
            return io;
        const std::optional<std::size_t> size = HandOverBodySize(header);
        if (!size) return Io::Failed;
        std::string body(*size, '\0');
        if (const Io io = transfer(m_pipe.get(), false, body.data(), body.size(), deadline, m_stop.get());
            io != Io::Done)
            return io;
        std::optional<std::vector<std::string>> files = DecodeHandOverBody(body);
        if (!files) return Io::Failed;
        m_receiver(std::move(*files));
        // The sender ends either way; a sender already gone changes nothing here.
        char taken = kTaken;
        (void)transfer(m_pipe.get(), true, &taken, 1, Clock::now() + kReadTimeout, m_stop.get());
        FlushFileBuffers(m_pipe.get());
        return Io::Done;
    }

    win32::Handle m_pipe;
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
    win32::Handle pipe(CreateNamedPipeW(
        path.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
        PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 4096, 4096, 0, &security));
    const DWORD created = GetLastError();
    LocalFree(descriptor);
    if (!pipe) {
        error = win32::windowsError(created);
        return nullptr;
    }
    win32::Handle stop(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!stop) {
        error = win32::lastError();
        return nullptr;
    }
    auto listener = std::make_unique<PipeListener>(std::move(pipe), std::move(stop), std::move(receiver));
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
