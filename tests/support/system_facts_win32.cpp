#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "support/system_facts.h"

namespace mirvane::test {

namespace {

std::string formatMessage(DWORD code, const std::string& subject) {
    const std::wstring insert =
        std::filesystem::path(std::u8string(subject.begin(), subject.end())).wstring();
    DWORD_PTR inserts[] = {reinterpret_cast<DWORD_PTR>(insert.c_str())};
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
            (subject.empty() ? FORMAT_MESSAGE_IGNORE_INSERTS : FORMAT_MESSAGE_ARGUMENT_ARRAY),
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, reinterpret_cast<va_list*>(inserts));
    std::wstring wide(text, length);
    LocalFree(text);
    while (!wide.empty() && (wide.back() == L'\n' || wide.back() == L'\r' || wide.back() == L' '))
        wide.pop_back();
    const std::u8string utf8 = std::filesystem::path(wide).u8string();
    return std::string(utf8.begin(), utf8.end());
}

}  // namespace

std::string systemText(SystemFailure failure, const std::string& subject) {
    switch (failure) {
        case SystemFailure::NoSuchFile:
            return formatMessage(ERROR_FILE_NOT_FOUND, subject);
        case SystemFailure::OpenAFolder:
            return formatMessage(ERROR_ACCESS_DENIED, subject);
        case SystemFailure::NotAProgram:
            return formatMessage(ERROR_BAD_EXE_FORMAT, subject);
    }
    return {};
}

// Text where the system expects an executable's header.
void makeNonProgram(const std::string& path) {
    std::ofstream(std::filesystem::u8path(path), std::ios::trunc | std::ios::binary) << "not a program\r\n";
}

std::vector<std::string> namesToKeepExactly() { return {"café ü.avi", "ビデオ 🎬 한국.avi"}; }

void hide(const std::string& path) {
    SetFileAttributesW(std::filesystem::u8path(path).c_str(), FILE_ATTRIBUTE_HIDDEN);
}

bool makeUnreadable(const std::string&) { return false; }

std::string createdLogStart() { return "\xEF\xBB\xBF"; }

bool makeUserLocale(const std::string& name) {
    wchar_t user[LOCALE_NAME_MAX_LENGTH];
    GetUserDefaultLocaleName(user, LOCALE_NAME_MAX_LENGTH);
    std::string wanted = name.substr(0, name.find('.'));
    std::replace(wanted.begin(), wanted.end(), '_', '-');
    return std::filesystem::path(user).string() == wanted;
}

bool outputOutlivesItsClose() {
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

}  // namespace mirvane::test
