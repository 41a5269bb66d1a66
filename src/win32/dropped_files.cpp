#include "win32/dropped_files.h"

#include <shellapi.h>
#include <shlobj.h>

#include <string_view>

namespace mirvane::win32 {

namespace {

// The names of a DROPFILES block, each ended by a NUL, the list by another;
// nothing when the block does not hold exactly `count` names inside its size.
template <typename Char>
bool readNames(const char* block, SIZE_T size, UINT count, std::vector<std::wstring>& paths) {
    const auto* drop = reinterpret_cast<const DROPFILES*>(block);
    if (drop->pFiles < sizeof(DROPFILES) || drop->pFiles >= size) return false;
    const std::basic_string_view<Char> names(reinterpret_cast<const Char*>(block + drop->pFiles),
                                             (size - drop->pFiles) / sizeof(Char));
    std::size_t at = 0;
    for (UINT i = 0; i < count; ++i) {
        const std::size_t end = names.find(Char(0), at);
        if (end == names.npos) return false;
        const auto name = names.substr(at, end - at);
        if constexpr (sizeof(Char) == sizeof(wchar_t)) {
            paths.emplace_back(name);
        } else {
            // Names from a program that dropped ANSI text are in the ANSI code page.
            std::wstring wide(name.size(), L'\0');
            wide.resize(static_cast<std::size_t>(
                MultiByteToWideChar(CP_ACP, 0, name.data(), static_cast<int>(name.size()), wide.data(),
                                    static_cast<int>(wide.size()))));
            paths.push_back(std::move(wide));
        }
        at = end + 1;
    }
    return true;
}

}  // namespace

std::vector<std::wstring> DroppedPaths(HDROP drop) {
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    std::vector<std::wstring> paths;
    paths.reserve(count);
    bool read = false;
    if (const auto* block = static_cast<const char*>(GlobalLock(drop))) {
        const SIZE_T size = GlobalSize(drop);
        if (size >= sizeof(DROPFILES)) {
            read = reinterpret_cast<const DROPFILES*>(block)->fWide
                       ? readNames<wchar_t>(block, size, count, paths)
                       : readNames<char>(block, size, count, paths);
        }
        GlobalUnlock(drop);
    }
    if (!read) {
        paths.clear();
        std::wstring path;
        for (UINT i = 0; i < count; ++i) {
            path.resize(DragQueryFileW(drop, i, nullptr, 0) + 1);
            path.resize(DragQueryFileW(drop, i, path.data(), static_cast<UINT>(path.size())));
            paths.push_back(path);
        }
    }
    std::erase_if(paths, [](const std::wstring& path) { return path.empty(); });
    return paths;
}

}  // namespace mirvane::win32
