#pragma once
// Finds the input's length and the elapsed media time in the encoder's own
// lines: the "  Duration: " line of an input's header (the one right under
// "Input #N, ... from '...':", at the header's indentation) and "time=" on
// its progress lines. Text the encoder echoes (a file name, a title or
// comment tag, its "Input #0 ... from" line) may hold the same words
// anywhere else and never counts.

#include <cstdint>
#include <optional>
#include <string_view>

namespace mirvane {

class OutputScanner {
public:
    // Reads one whole line, without its line break.
    void readLine(std::string_view line);

    // The first input's length in whole seconds (0 for "N/A"); nothing until
    // an input's header has given it. Later inputs' lengths do not change it.
    std::optional<int32_t> duration() const { return m_duration; }
    // The furthest media time a progress line has reported, in whole
    // seconds: a later, smaller time (the muxer's second pass, a restart of
    // the count) never takes it back.
    std::optional<int32_t> position() const { return m_position; }

private:
    bool m_inInputHeader = false;
    std::optional<int32_t> m_duration;
    std::optional<int32_t> m_position;
};

// "H:MM:SS" (any number of hour digits) up to its first "."; 0 when the text
// is not such a time. Exposed for tests.
int32_t ParseDuration(std::string_view text);
// Plain seconds or H:MM:SS, fractions cut; nothing for "N/A", negative times
// and anything else that is not a time.
std::optional<int32_t> ParseMediaTime(std::string_view text);

}  // namespace mirvane
