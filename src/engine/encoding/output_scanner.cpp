#include "engine/encoding/output_scanner.h"

#include <array>
#include <limits>

namespace mirvane {

namespace {

// The header's own line: two blanks, as ffmpeg indents an input's details.
// Tags are indented further ("    title           : ..."), and so are the
// continuation lines of a tag that holds a line break.
constexpr std::string_view kDurationLine = "  Duration: ";
constexpr std::string_view kTimeMarker = "time=";

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Whole seconds from up to three colon-separated fields of digits; nothing
// when a field is empty or not all digits, or the total leaves 32 bits.
std::optional<int32_t> parseClock(std::string_view text) {
    std::array<int64_t, 3> fields{};
    std::size_t count = 0;
    std::size_t start = 0;
    while (true) {
        std::size_t end = text.find(':', start);
        std::string_view field = text.substr(start, end == std::string_view::npos ? end : end - start);
        if (field.empty() || count == fields.size()) return std::nullopt;
        int64_t value = 0;
        for (char c : field) {
            if (!isDigit(c)) return std::nullopt;
            value = value * 10 + (c - '0');
            if (value > std::numeric_limits<int32_t>::max()) return std::nullopt;
        }
        fields[count++] = value;
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    int64_t seconds = 0;
    for (std::size_t i = 0; i < count; ++i) seconds = seconds * 60 + fields[i];
    if (seconds > std::numeric_limits<int32_t>::max()) return std::nullopt;
    return static_cast<int32_t>(seconds);
}

// The value after a marker: up to the first blank or comma.
std::string_view valueAfter(std::string_view line, std::size_t markerEnd) {
    const std::string_view rest = line.substr(markerEnd);
    return rest.substr(0, rest.find_first_of(" ,"));
}

// ffmpeg's progress line: "frame=  25 fps=... time=00:00:01.00 ..." with a
// video stream, "size=  128kB time=..." without; the last one with "L".
bool isProgressLine(std::string_view line) {
    return line.starts_with("frame=") || line.starts_with("size=") || line.starts_with("Lsize=");
}

}  // namespace

int32_t ParseDuration(std::string_view text) {
    return parseClock(text.substr(0, text.find('.'))).value_or(0);
}

std::optional<int32_t> ParseMediaTime(std::string_view text) {
    return parseClock(text.substr(0, text.find('.')));
}

void OutputScanner::readLine(std::string_view line) {
    if (isProgressLine(line)) {
        m_inInputHeader = false;
        const std::size_t at = line.find(kTimeMarker);
        if (at == std::string_view::npos) return;
        const std::optional<int32_t> time = ParseMediaTime(valueAfter(line, at + kTimeMarker.size()));
        if (time && (!m_position || *time > *m_position)) m_position = time;
        return;
    }
    // The header of each input begins with the encoder's "Input #N, " line
    // and ends at the first line that is not indented.
    if (line.starts_with("Input #")) {
        m_inInputHeader = true;
        return;
    }
    if (!line.starts_with(' ')) {
        m_inInputHeader = false;
        return;
    }
    if (m_inInputHeader && !m_duration && line.starts_with(kDurationLine)) {
        m_duration = ParseDuration(valueAfter(line, kDurationLine.size()));
    }
}

}  // namespace mirvane
