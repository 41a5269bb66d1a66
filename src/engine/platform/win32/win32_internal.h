#pragma once
// What the Windows implementation files share among themselves, beside the
// public edge of wide_text.h: errors that carry the system's own code and
// text, handles, the user's identity.

#include <windows.h>

#include <string>
#include <string_view>
#include <system_error>

#include "engine/platform/win32/wide_text.h"

namespace mirvane::platform::win32 {

// The engine's text on Windows: UTF-8 whatever the ANSI code page is, so that
// any file name, also one outside that code page, passes through unchanged.
inline constexpr UINT kEngineCodePage = CP_UTF8;

// Text in the given code page to UTF-8.
std::string codePageToUtf8(UINT codePage, std::string_view text);

// Windows error codes, with the system's own text (FormatMessageW) as their
// message and the portable std::errc equivalents where there is one.
const std::error_category& windowsCategory();
inline std::error_code windowsError(DWORD code) { return {static_cast<int>(code), windowsCategory()}; }

// The user's security identifier as text ("S-1-5-21-..."); empty, with the
// reason in error, when it cannot be read.
std::wstring userSid(std::error_code& error);
// The same for the user a process runs as.
std::wstring processUserSid(HANDLE process, std::error_code& error);

// A handle closed when it goes out of scope.
class Handle {
public:
    Handle() = default;
    explicit Handle(HANDLE handle) : m_handle(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
    Handle(Handle&& other) noexcept : m_handle(other.release()) {}
    Handle& operator=(Handle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() { reset(); }

    HANDLE get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }
    HANDLE release() {
        HANDLE handle = m_handle;
        m_handle = nullptr;
        return handle;
    }
    // Closes the handle held; false when the close failed.
    bool reset(HANDLE handle = nullptr) {
        const bool closed = m_handle == nullptr || CloseHandle(m_handle);
        m_handle = handle;
        return closed;
    }

private:
    HANDLE m_handle = nullptr;
};

}  // namespace mirvane::platform::win32
