#pragma once
// What the Windows implementation files share: the conversion between the
// engine's UTF-8 and the system's UTF-16, and errors that carry the system's
// own code and text.

#include <windows.h>

#include <string>
#include <string_view>
#include <system_error>

namespace mirvane::platform::win32 {

// The engine's text on Windows: UTF-8 whatever the ANSI code page is, so that
// any file name, also one outside that code page, passes through unchanged.
inline constexpr UINT kEngineCodePage = CP_UTF8;

// UTF-8 to UTF-16 and back. Bytes that are not UTF-8 become U+FFFD, which no
// file name holds, so a mangled name cannot silently name another file.
std::wstring toWide(std::string_view text);
std::string toUtf8(std::wstring_view text);
// Text in the given code page to UTF-8.
std::string codePageToUtf8(UINT codePage, std::string_view text);

// Windows error codes, with the system's own text (FormatMessageW) as their
// message and the portable std::errc equivalents where there is one.
const std::error_category& windowsCategory();
inline std::error_code windowsError(DWORD code) { return {static_cast<int>(code), windowsCategory()}; }
inline std::error_code lastError() { return windowsError(GetLastError()); }

// The user's security identifier as text ("S-1-5-21-..."); empty, with the
// reason in error, when it cannot be read.
std::wstring userSid(std::error_code& error);

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
