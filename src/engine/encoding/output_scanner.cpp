#include "engine/encoding/output_scanner.h"

#include <array>
#include <limits>

namespace mirvane {

namespace {

constexpr std::string_view kDurationMarker = "Duration: ";
constexpr std::string_view kTimeMarker = "time=";
constexpr std::string_view kCompletionMarker = "video:";

// Longer than any marker with its value; a longer unfinished line holds no
// marker worth waiting for.
constexpr std::size_t kMaxCarry = 128;

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

struct Found {
    std::size_t valueBegin = 0;
    std::size_t valueEnd = 0;
};

// A marker's value runs over valueChars; the first other character completes
// it ("N/A" at once, with an empty value). The first occurrence of marker
// whose value is completed at or after
// `fresh` (the first byte of the new chunk); occurrences completed before it
// were counted with the previous chunk. Nothing when the first candidate is
// still open at the text's end: the next chunk completes it.
std::optional<Found> findCompleted(std::string_view text, std::size_t fresh, std::string_view marker,
                                   std::string_view valueChars) {
    for (std::size_t at = text.find(marker); at != std::string_view::npos; at = text.find(marker, at + 1)) {
        std::size_t begin = at + marker.size();
        std::size_t end = valueChars.empty() ? begin : text.find_first_not_of(valueChars, begin);
        if (end == std::string_view::npos) return std::nullopt;
        // The byte that completes the value (or the marker's own last byte).
        std::size_t completedAt = valueChars.empty() ? begin - 1 : end;
        if (completedAt >= fresh) return Found{begin, end};
    }
    return std::nullopt;
}

}  // namespace

int32_t ParseDuration(std::string_view text) {
    return parseClock(text.substr(0, text.find('.'))).value_or(0);
}

std::optional<int32_t> ParseMediaTime(std::string_view text) {
    return parseClock(text.substr(0, text.find('.')));
}

ChunkMarkers OutputScanner::scan(std::string_view chunk) {
    const std::size_t fresh = m_text.size();
    m_text.append(chunk);
    const std::string_view text = m_text;

    ChunkMarkers markers;
    if (auto found = findCompleted(text, fresh, kDurationMarker, "0123456789:.")) {
        markers.duration = ParseDuration(text.substr(found->valueBegin, found->valueEnd - found->valueBegin));
    }
    if (auto found = findCompleted(text, fresh, kTimeMarker, "0123456789:.-")) {
        markers.position =
            ParseMediaTime(text.substr(found->valueBegin, found->valueEnd - found->valueBegin));
    }
    markers.completed = findCompleted(text, fresh, kCompletionMarker, "").has_value();

    // Keep only the unfinished last line for the next chunk.
    std::size_t lineStart = text.find_last_of("\r\n");
    lineStart = lineStart == std::string_view::npos ? 0 : lineStart + 1;
    if (text.size() - lineStart > kMaxCarry) lineStart = text.size() - kMaxCarry;
    m_text.erase(0, lineStart);
    return markers;
}

}  // namespace mirvane
