#include "engine/encoding/output_tail.h"

#include <algorithm>

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
           line != "Conversion failed!";
}

// Cuts before a UTF-8 continuation byte, so that no character is split.
std::string_view cutToBound(std::string_view line) {
    if (line.size() <= kMaxLineBytes) return line;
    std::size_t end = kMaxLineBytes;
    while (end > 0 && (static_cast<unsigned char>(line[end]) & 0xC0) == 0x80) --end;
    return line.substr(0, end);
}

}  // namespace

void OutputTail::add(std::string_view chunk) {
    while (true) {
        const std::size_t end = chunk.find_first_of("\r\n");
        // One byte beyond the bound tells cutToBound where a character ends.
        const std::size_t room = kMaxLineBytes + 1 - std::min(m_current.size(), kMaxLineBytes + 1);
        m_current.append(chunk.substr(0, std::min(end, room)));
        if (end == std::string_view::npos) return;
        endLine();
        chunk.remove_prefix(end + 1);
    }
}

void OutputTail::endLine() {
    const std::string_view line = trimmed(m_current);
    if (saysSomething(line)) m_last = cutToBound(line);
    m_current.clear();
}

std::string OutputTail::lastLine() const {
    const std::string_view open = trimmed(m_current);
    if (saysSomething(open)) return std::string(cutToBound(open));
    return m_last;
}

}  // namespace mirvane
