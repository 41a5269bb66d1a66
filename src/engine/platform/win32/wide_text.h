#pragma once
// The engine's edge on Windows, for the Windows code outside it (its window,
// its tests): UTF-8 to UTF-16 and back, and the system's last error with
// its own text. No system type appears here.

#include <string>
#include <string_view>
#include <system_error>

namespace mirvane::platform::win32 {

// UTF-8 to UTF-16 and back. Bytes that are not UTF-8 become U+FFFD, which no
// file name holds, so a mangled name cannot silently name another file.
std::wstring toWide(std::string_view text);
std::string toUtf8(std::wstring_view text);

// The calling thread's last Windows error, with the system's own text.
std::error_code lastError();

}  // namespace mirvane::platform::win32
