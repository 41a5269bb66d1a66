#include "win32/hand_over.h"

#include <thread>

#include "engine/platform/win32/win32_internal.h"

namespace mirvane::win32 {

using platform::win32::toUtf8;
using platform::win32::toWide;

std::wstring PackHandOver(const std::vector<std::string>& files) {
    std::wstring block;
    for (const std::string& file : files) {
        block += toWide(file);
        block += L'\0';
    }
    return block;
}

std::optional<std::vector<std::string>> UnpackHandOver(const COPYDATASTRUCT& data) {
    if (data.dwData != kHandOverTag || data.cbData > kHandOverMaxBytes || data.cbData % sizeof(wchar_t) != 0)
        return std::nullopt;
    if (data.cbData > 0 && data.lpData == nullptr) return std::nullopt;
    const std::wstring_view block(static_cast<const wchar_t*>(data.lpData), data.cbData / sizeof(wchar_t));
    if (!block.empty() && block.back() != L'\0') return std::nullopt;
    std::vector<std::string> files;
    for (std::size_t start = 0; start < block.size();) {
        const std::size_t end = block.find(L'\0', start);
        files.push_back(toUtf8(block.substr(start, end - start)));
        start = end + 1;
    }
    return files;
}

// The first copy holds the instance mutex from its first instruction on, but
// creates its window only after that: a second copy started at nearly the
// same moment looks again for a while.
std::error_code HandOverFiles(const std::vector<std::string>& files, std::chrono::milliseconds patience) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    HWND running = nullptr;
    while (!(running = FindWindowW(kFormClassName, nullptr))) {
        if (std::chrono::steady_clock::now() >= deadline) return std::make_error_code(std::errc::timed_out);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    // The running copy brings its window forward for the files; the system
    // lets it only with the leave of the program in front, this one.
    DWORD runningProcess = 0;
    GetWindowThreadProcessId(running, &runningProcess);
    AllowSetForegroundWindow(runningProcess);
    std::wstring block = PackHandOver(files);
    COPYDATASTRUCT data{};
    data.dwData = kHandOverTag;
    data.cbData = static_cast<DWORD>(block.size() * sizeof(wchar_t));
    data.lpData = block.data();
    DWORD_PTR accepted = 0;
    SetLastError(ERROR_SUCCESS);
    // A running copy busy with a batch still answers: its waiting loop
    // handles messages sent to it. One that hangs is given up on.
    if (!SendMessageTimeoutW(running, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                             SMTO_ABORTIFHUNG | SMTO_BLOCK, 10000, &accepted)) {
        const DWORD error = GetLastError();
        return platform::win32::windowsError(error == ERROR_SUCCESS ? ERROR_TIMEOUT : error);
    }
    if (!accepted) return platform::win32::windowsError(ERROR_INVALID_DATA);
    return {};
}

}  // namespace mirvane::win32
