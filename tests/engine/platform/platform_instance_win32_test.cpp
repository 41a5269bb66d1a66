// One copy per user session: the mutex lives in the session's own namespace
// under a name that holds the user's SID, and another process sees it.

#include <windows.h>

#include <gtest/gtest.h>

#include <sddl.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "engine/formats/command_line.h"
#include "engine/platform/single_instance.h"

namespace mirvane::platform {
namespace {

std::wstring wide(const std::string& text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end())).wstring();
}

std::wstring userSid() {
    HANDLE token = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    char buffer[256];
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size);
    CloseHandle(token);
    wchar_t* text = nullptr;
    ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text);
    std::wstring sid = text ? text : L"";
    LocalFree(text);
    return sid;
}

// What another copy of the program finds: "running" or "free".
std::string askFromAnotherProcess(const std::string& name) {
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    CreatePipe(&readEnd, &writeEnd, &inheritable, 0);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    std::wstring line = wide("encoder_host --instance " + QuoteArgument(name));
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(wide(MIRVANE_ENCODER_HOST).c_str(), line.data(), nullptr, nullptr, TRUE,
                        CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process)) {
        return "not started";
    }
    CloseHandle(writeEnd);
    std::string output;
    char buffer[256];
    DWORD got = 0;
    while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0) output.append(buffer, got);
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    CloseHandle(readEnd);
    while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
    return output;
}

TEST(SingleInstance, TheFirstTakesItAndEveryLaterCopySeesIt) {
    const std::string name = "MirvaneTest" + std::to_string(GetCurrentProcessId());
    EXPECT_EQ(askFromAnotherProcess(name), "free") << "a copy that ended kept it";
    const InstanceCheck first = IsAlreadyRunning(name);
    EXPECT_TRUE(first.failure.empty()) << first.failure;
    EXPECT_FALSE(first.alreadyRunning);
    EXPECT_EQ(askFromAnotherProcess(name), "running");
    EXPECT_TRUE(IsAlreadyRunning(name).alreadyRunning);
    EXPECT_EQ(askFromAnotherProcess(name + "-other"), "free");
}

// Local\ keeps the copies of users in other sessions apart; the SID keeps
// apart users in the same session ("run as"), whose mutex this user could
// not even open.
TEST(SingleInstance, TheMutexIsTheSessionsAndNamesTheUser) {
    const std::string name = "MirvaneNamed" + std::to_string(GetCurrentProcessId());
    ASSERT_FALSE(IsAlreadyRunning(name).alreadyRunning);
    const std::wstring expected = L"Local\\" + wide(name) + L"-" + userSid();
    const HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, expected.c_str());
    EXPECT_NE(mutex, nullptr) << "no mutex named " << std::filesystem::path(expected).string();
    if (mutex) CloseHandle(mutex);
    const HANDLE global = OpenMutexW(SYNCHRONIZE, FALSE, (L"Global\\" + wide(name)).c_str());
    EXPECT_EQ(global, nullptr);
    if (global) CloseHandle(global);
}

}  // namespace
}  // namespace mirvane::platform
