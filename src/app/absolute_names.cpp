#include "app/absolute_names.h"

namespace mirvane {

namespace {

bool isSeparator(char byte, PathStyle style) {
    return byte == '/' || (style == PathStyle::Windows && byte == '\\');
}

bool isDriveLetter(char byte) { return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z'); }

bool hasDrive(std::string_view path) { return path.size() >= 2 && isDriveLetter(path[0]) && path[1] == ':'; }

bool sameDrive(char a, char b) { return (a | 0x20) == (b | 0x20); }

std::string join(std::string_view folder, std::string_view path, PathStyle style) {
    std::string joined(folder);
    if (joined.empty() || !isSeparator(joined.back(), style)) joined += pathSeparator(style);
    joined += path;
    return joined;
}

// "C:" of "C:\x"; "\\server\share" of "\\server\share\x".
std::string_view root(std::string_view folder) {
    if (hasDrive(folder)) return folder.substr(0, 2);
    std::size_t separators = 0;
    for (std::size_t i = 0; i < folder.size(); ++i) {
        if (isSeparator(folder[i], PathStyle::Windows) && ++separators == 4) return folder.substr(0, i);
    }
    return folder;
}

std::string makeAbsoluteWindows(std::string_view path, std::string_view folder) {
    constexpr PathStyle style = PathStyle::Windows;
    if (path.size() >= 2 && isSeparator(path[0], style) && isSeparator(path[1], style)) return std::string(path);
    if (!path.empty() && isSeparator(path[0], style)) return std::string(root(folder)) + std::string(path);
    if (hasDrive(path)) {
        if (path.size() > 2 && isSeparator(path[2], style)) return std::string(path);
        if (hasDrive(folder) && sameDrive(path[0], folder[0])) return join(folder, path.substr(2), style);
        return join(path.substr(0, 2), path.substr(2), style);
    }
    return join(folder, path, style);
}

}  // namespace

std::string MakeAbsolute(std::string_view path, std::string_view folder, PathStyle style) {
    // An empty name names no file in any folder.
    if (path.empty()) return {};
    if (style == PathStyle::Windows) return makeAbsoluteWindows(path, folder);
    if (path.front() == '/') return std::string(path);
    return join(folder, path, style);
}

}  // namespace mirvane
