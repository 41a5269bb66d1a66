// Text at the system's edge: UTF-16 for the system, UTF-8 for the engine, and
// the encoder's console text.

#include <cstdint>

#include "engine/platform/text.h"
#include "engine/platform/win32/win32_internal.h"

namespace mirvane::platform {

namespace win32 {

std::wstring toWide(std::string_view text) {
    if (text.empty()) return {};
    const int length = static_cast<int>(text.size());
    const int size = MultiByteToWideChar(kEngineCodePage, 0, text.data(), length, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(kEngineCodePage, 0, text.data(), length, wide.data(), size);
    return wide;
}

std::string toUtf8(std::wstring_view text) {
    if (text.empty()) return {};
    const int length = static_cast<int>(text.size());
    const int size =
        WideCharToMultiByte(kEngineCodePage, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(kEngineCodePage, 0, text.data(), length, narrow.data(), size, nullptr, nullptr);
    return narrow;
}

std::string codePageToUtf8(UINT codePage, std::string_view text) {
    if (text.empty()) return {};
    const int length = static_cast<int>(text.size());
    const int size = MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), length, wide.data(), size);
    return toUtf8(wide);
}

namespace {

class WindowsCategory : public std::error_category {
public:
    const char* name() const noexcept override { return "windows"; }

    std::string message(int code) const override {
        wchar_t* text = nullptr;
        const DWORD length = FormatMessageW(
            FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
            nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
        std::wstring message(text, length);
        LocalFree(text);
        // The system's texts end in a line break, which a log record or a
        // tooltip must not carry.
        while (!message.empty() &&
               (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' '))
            message.pop_back();
        if (message.empty()) return "Windows error " + std::to_string(static_cast<std::uint32_t>(code));
        return toUtf8(message);
    }

    std::error_condition default_error_condition(int code) const noexcept override {
        switch (static_cast<DWORD>(code)) {
            case ERROR_FILE_NOT_FOUND:
            case ERROR_PATH_NOT_FOUND:
            case ERROR_INVALID_DRIVE:
            case ERROR_BAD_NETPATH:
                return std::errc::no_such_file_or_directory;
            case ERROR_ACCESS_DENIED:
            case ERROR_SHARING_VIOLATION:
            case ERROR_LOCK_VIOLATION:
                return std::errc::permission_denied;
            case ERROR_FILE_EXISTS:
            case ERROR_ALREADY_EXISTS:
                return std::errc::file_exists;
            case ERROR_INVALID_HANDLE:
                return std::errc::bad_file_descriptor;
            case ERROR_NOT_ENOUGH_MEMORY:
            case ERROR_OUTOFMEMORY:
                return std::errc::not_enough_memory;
            case ERROR_DISK_FULL:
            case ERROR_HANDLE_DISK_FULL:
                return std::errc::no_space_on_device;
            case ERROR_BROKEN_PIPE:
            case ERROR_NO_DATA:
                return std::errc::broken_pipe;
            case ERROR_BAD_EXE_FORMAT:
            case ERROR_EXE_MACHINE_TYPE_MISMATCH:
                return std::errc::executable_format_error;
            case ERROR_DIRECTORY:
                return std::errc::is_a_directory;
            case ERROR_FILE_TOO_LARGE:
                return std::errc::file_too_large;
            case ERROR_INVALID_PARAMETER:
            case ERROR_INVALID_NAME:
                return std::errc::invalid_argument;
            case ERROR_BUSY:
                return std::errc::device_or_resource_busy;
            default:
                return {code, *this};
        }
    }
};

// UTF-8 as it may look in one chunk of a longer output: a sequence cut by
// the chunk's start or end is accepted, so that a character split between
// two reads does not make either read look like another code page.
bool isUtf8Chunk(std::string_view text) {
    std::size_t i = 0;
    // Up to three continuation bytes may finish a character of the last chunk.
    while (i < text.size() && i < 3 && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) ++i;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length;
        std::uint32_t value;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            value = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            value = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            value = lead & 0x07;
        } else {
            return false;
        }
        std::size_t j = 1;
        for (; j < length && i + j < text.size(); ++j) {
            const auto next = static_cast<unsigned char>(text[i + j]);
            if ((next & 0xC0) != 0x80) return false;
            value = value << 6 | (next & 0x3F);
        }
        if (j < length) return true;  // cut by the chunk's end
        const bool overlong = (length == 3 && value < 0x800) || (length == 4 && value < 0x10000);
        const bool surrogate = value >= 0xD800 && value <= 0xDFFF;
        if (overlong || surrogate || value > 0x10FFFF) return false;
        i += length;
    }
    return true;
}

}  // namespace

const std::error_category& windowsCategory() {
    static const WindowsCategory category;
    return category;
}

std::error_code lastError() { return windowsError(GetLastError()); }

}  // namespace win32

// Asked of the code page the engine's text is in, which is UTF-8: the system
// then answers that no byte begins a double-byte character, whatever the ANSI
// code page. Applying the ANSI code page's answer to UTF-8 would take the
// last byte of "あ" (E3 81 82) on a Japanese system, or nothing at all on a
// Western one, for a lead byte: the same path would split differently on
// different machines.
bool isLeadByte(unsigned char byte) { return IsDBCSLeadByteEx(win32::kEngineCodePage, byte) != FALSE; }

// The category's text is asked for without its inserts, so "%1" stands in it
// as the system wrote it; "%10" and above are other inserts.
std::string errorText(const std::error_code& error, std::string_view subject) {
    std::string text = error.message();
    if (error.category() != win32::windowsCategory() || subject.empty()) return text;
    for (std::size_t at = 0; (at = text.find("%1", at)) != std::string::npos;) {
        if (at + 2 < text.size() && text[at + 2] >= '0' && text[at + 2] <= '9') {
            at += 2;
            continue;
        }
        text.replace(at, 2, subject);
        at += subject.size();
    }
    return text;
}

std::string systemCodePageToUtf8(std::string_view text) { return win32::codePageToUtf8(CP_ACP, text); }

// Windows would otherwise write a look-alike ("a" for "ā" in code page
// 1252) or "?" for a character the code page lacks: another name, or none.
std::optional<std::string> utf8ToSystemCodePage(std::string_view text) {
    // A system set to UTF-8 as its ANSI code page reads the text as it is
    // (and takes neither the flag nor the check below for it).
    if (GetACP() == CP_UTF8) return std::string(text);
    const std::wstring wide = win32::toWide(text);
    if (wide.empty()) return std::string();
    const int length = static_cast<int>(wide.size());
    BOOL usedDefault = FALSE;
    const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), length, nullptr, 0,
                                         nullptr, &usedDefault);
    if (size == 0 || usedDefault) return std::nullopt;
    std::string narrow(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), length, narrow.data(), size, nullptr,
                        nullptr);
    return narrow;
}

// ffmpeg writes UTF-8 on Windows, so valid UTF-8 is kept as it is. Anything
// else comes from a program that wrote in the console's code page (OEM
// unless a console says otherwise): converted, as the encoder's console
// would have shown it.
void consoleToSystemText(std::string& text) {
    if (win32::isUtf8Chunk(text)) return;
    UINT codePage = GetConsoleOutputCP();
    if (codePage == 0) codePage = GetOEMCP();
    text = win32::codePageToUtf8(codePage, text);
}

}  // namespace mirvane::platform
