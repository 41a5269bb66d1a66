#pragma once
// Files a second copy of the program hands to the running one: one
// WM_COPYDATA message to the running copy's main window, which adds them as
// a drop would. The block holds each path in UTF-16 followed by a NUL (no
// Windows path holds one); the receiver trusts nothing else about it.

#include <windows.h>

#include <chrono>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace mirvane::win32 {

// The main window's class: the running copy is found by it.
inline constexpr wchar_t kFormClassName[] = L"Mirvane.MainWindow";
// Marks a block as this program's list of files ("MRVN").
inline constexpr ULONG_PTR kHandOverTag = 0x4D52564E;
// Far above what a command line can hold (32,767 characters).
inline constexpr DWORD kHandOverMaxBytes = 1 << 20;

// The block a second copy sends for the files (UTF-8).
std::wstring PackHandOver(const std::vector<std::string>& files);
// The files of a received block, in order; nothing when it is not one.
std::optional<std::vector<std::string>> UnpackHandOver(const COPYDATASTRUCT& data);

// Finds the running copy's window, waiting up to `patience` for it to be
// created, and hands it the files. The error when no window answered: the
// system's own, or std::errc::timed_out when none appeared in time.
std::error_code HandOverFiles(const std::vector<std::string>& files, std::chrono::milliseconds patience);

}  // namespace mirvane::win32
