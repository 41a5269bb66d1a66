#include "engine/jobs/paths.h"

#include <cstddef>

namespace mirvane {

namespace {

// Bytes taken by the character that starts at index. A lead byte owns the
// byte after it whatever that byte is, as the system's own character stepping
// does; a lead byte at the very end stands alone.
std::size_t characterLength(std::string_view text, std::size_t index, PathStyle style,
                            LeadByteTest isLeadByte) {
    if (style == PathStyle::Windows && index + 1 < text.size() &&
        isLeadByte(static_cast<unsigned char>(text[index]))) {
        return 2;
    }
    return 1;
}

bool isSeparator(char byte, PathStyle style) {
    if (style == PathStyle::Windows) {
        return byte == '\\' || byte == ':';
    }
    return byte == '/';
}

// Index of the last separator (and, with withDot, the last dot) that begins a
// character; npos when there is none.
std::size_t findLastDelimiter(std::string_view path, PathStyle style, LeadByteTest isLeadByte, bool withDot) {
    std::size_t found = std::string_view::npos;
    for (std::size_t i = 0; i < path.size(); i += characterLength(path, i, style, isLeadByte)) {
        if (isSeparator(path[i], style) || (withDot && path[i] == '.')) {
            found = i;
        }
    }
    return found;
}

}  // namespace

std::string ExtractFolder(std::string_view path, PathStyle style, LeadByteTest isLeadByte) {
    const std::size_t last = findLastDelimiter(path, style, isLeadByte, false);
    if (last == std::string_view::npos) {
        return {};
    }
    return std::string(path.substr(0, last + 1));
}

std::string ExtractExtension(std::string_view path, PathStyle style, LeadByteTest isLeadByte) {
    const std::size_t last = findLastDelimiter(path, style, isLeadByte, true);
    if (last == std::string_view::npos || path[last] != '.') {
        return {};
    }
    return std::string(path.substr(last));
}

std::string ChangeExtension(std::string_view path, std::string_view extension, PathStyle style,
                            LeadByteTest isLeadByte) {
    const std::size_t stemLength = path.size() - ExtractExtension(path, style, isLeadByte).size();
    std::string result(path.substr(0, stemLength));
    result += extension;
    return result;
}

std::string ReplaceAll(std::string_view text, std::string_view pattern, std::string_view replacement,
                       PathStyle style, LeadByteTest isLeadByte) {
    if (pattern.empty()) {
        return std::string(text);
    }
    std::string result;
    result.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        if (text.substr(i, pattern.size()) == pattern) {
            result += replacement;
            const std::size_t end = i + pattern.size();
            // Keep stepping by whole characters so that the boundaries after
            // the match are still those of the text; a pattern ending in a
            // lead byte leaves that character's trail byte to be copied.
            while (i < end) {
                i += characterLength(text, i, style, isLeadByte);
            }
            result += text.substr(end, i - end);
            continue;
        }
        const std::size_t length = characterLength(text, i, style, isLeadByte);
        result += text.substr(i, length);
        i += length;
    }
    return result;
}

}  // namespace mirvane
