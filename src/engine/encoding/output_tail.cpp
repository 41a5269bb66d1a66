#include "engine/encoding/output_tail.h"

namespace mirvane {

namespace {

constexpr std::size_t kMaxLineBytes = 300;

std::string_view trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Progress lines repeat many times a second and say nothing about a failure;
// ffmpeg's closing "Conversion failed!" only repeats that there was one, the
// line before it names the cause.
bool saysSomething(std::string_view line) {
    return !line.empty() && !line.starts_with("frame=") && !line.starts_with("size=") &&
           !line.starts_with("Lsize=") && line != "Conversion failed!";
}

// Cuts before a UTF-8 continuation byte, so that no character is split.
std::string_view cutToBound(std::string_view line) {
    if (line.size() <= kMaxLineBytes) return line;
    std::size_t end = kMaxLineBytes;
    while (end > 0 && (static_cast<unsigned char>(line[end]) & 0xC0) == 0x80) --end;
    return line.substr(0, end);
}

}  // namespace

void OutputTail::readLine(std::string_view line) {
    line = trimmed(line);
    if (saysSomething(line)) m_last = cutToBound(line);
}

}  // namespace mirvane
