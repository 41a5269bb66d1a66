#pragma once
// The system's text as the engine's UTF-8.

#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace mirvane::platform {

// True when the byte may begin a double-byte character of the engine's text.
// That text is UTF-8 on every system (Windows names are converted at this
// layer's edge), so no byte is one; the path rules still ask rather than
// assume a code page.
bool isLeadByte(unsigned char byte);

// Text in the system's own 8-bit code page as UTF-8: the ANSI code page on
// Windows (Shift-JIS on a Japanese system); where the system's text is UTF-8
// already, the bytes as they are.
std::string systemCodePageToUtf8(std::string_view text);

// The engine's text in the system's own 8-bit code page, where programs
// that know no Unicode read their files (AviSynth its scripts): nothing
// when a character of it has no exact equivalent there (no look-alike, no
// default character). Where the system's text is UTF-8, the bytes as they are.
std::optional<std::string> utf8ToSystemCodePage(std::string_view text);

// Converts the encoder's console text to the engine's UTF-8 in place: on
// POSIX systems it is UTF-8 already; on Windows valid UTF-8 is kept and
// anything else is read in the console's code page.
void consoleToSystemText(std::string& text);

// The system's words for the error. Windows' texts keep a place for the
// file a failure concerns ("%1 is not a valid Win32 application."): subject
// fills it, and with no subject the place stays as it is.
std::string errorText(const std::error_code& error, std::string_view subject);

}  // namespace mirvane::platform
