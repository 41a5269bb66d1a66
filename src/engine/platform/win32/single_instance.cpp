// One copy per user session: a named mutex in the session's own namespace
// whose name holds the user's security identifier.

#include <memory>

#include "engine/platform/single_instance.h"
#include "engine/platform/win32/win32_internal.h"

// Needs the declarations of windows.h before it.
#include <sddl.h>

namespace mirvane::platform {

namespace {

InstanceCheck failed(const std::string& why, const std::error_code& error) {
    return {false, "Cannot check for a running copy: " + why + " (" + error.message() + ")."};
}

}  // namespace

std::wstring win32::processUserSid(HANDLE process, std::error_code& error) {
    HANDLE tokenHandle = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &tokenHandle)) {
        error = win32::lastError();
        return {};
    }
    const win32::Handle token(tokenHandle);
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::unique_ptr<char[]> buffer(new char[size]);
    if (!GetTokenInformation(token.get(), TokenUser, buffer.get(), size, &size)) {
        error = win32::lastError();
        return {};
    }
    wchar_t* text = nullptr;
    if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.get())->User.Sid, &text)) {
        error = win32::lastError();
        return {};
    }
    std::wstring sid(text);
    LocalFree(text);
    return sid;
}

std::wstring win32::userSid(std::error_code& error) { return processUserSid(GetCurrentProcess(), error); }

// Local\ keeps copies in other sessions (another user logged on at the same
// time, a remote session) apart, and the SID keeps apart users who share a
// session through "run as". The mutex's handle is held until the process
// ends; the system closes it then, also after a crash or a kill.
InstanceCheck IsAlreadyRunning(const std::string& name) {
    std::error_code error;
    const std::wstring sid = win32::userSid(error);
    if (sid.empty()) return failed("the user's identity cannot be read", error);
    const std::wstring mutexName = L"Local\\" + win32::toWide(name) + L"-" + sid;
    const HANDLE mutex = CreateMutexW(nullptr, FALSE, mutexName.c_str());
    const DWORD created = GetLastError();
    // Another account that made the name first (its access list leaves this
    // user out) cannot stop the start: the caller goes on without the lock.
    if (mutex == nullptr && created == ERROR_ACCESS_DENIED)
        return failed("the mutex " + win32::toUtf8(mutexName) + " was made by another account",
                      win32::windowsError(created));
    if (mutex == nullptr) return failed("the mutex cannot be made", win32::windowsError(created));
    if (created == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return {true, {}};
    }
    return {};
}

}  // namespace mirvane::platform
