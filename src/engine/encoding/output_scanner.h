#pragma once
// Finds the encoder's three markers in its console text: "Duration: " with
// the input's length, "time=" with the elapsed media time, and "video:" from
// the closing summary. Pure: fed one chunk at a time, it says what the chunk
// brought.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mirvane {

struct ChunkMarkers {
    std::optional<int32_t> duration;  // whole seconds
    std::optional<int32_t> position;  // whole seconds
    bool completed = false;
};

class OutputScanner {
public:
    // Each marker counts at most once per chunk (its first occurrence). A
    // marker and its value cut by a read boundary count in the chunk that
    // completes them, and never again.
    ChunkMarkers scan(std::string_view chunk);

private:
    // Between calls: the previous chunk's unfinished last line, scanned again
    // in front of the next chunk; bounded, since no marker with its value is
    // longer.
    std::string m_text;
};

// "H:MM:SS" (any number of hour digits) up to its first "."; 0 when the text
// is not such a time. Exposed for tests.
int32_t ParseDuration(std::string_view text);
// Plain seconds or H:MM:SS, fractions cut; nothing for "N/A", negative times
// and anything else that is not a time.
std::optional<int32_t> ParseMediaTime(std::string_view text);

}  // namespace mirvane
