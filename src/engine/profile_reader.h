#pragma once
// Reader for profile (INI) files: sections and keys matched without regard to
// letter case, the first of repeated sections or keys wins, blanks around
// names and values trimmed, `;` and `#` lines are comments. Anything missing
// reads as the empty text; values are cut to kMaxProfileValue bytes, never
// inside a UTF-8 character. Any file, however malformed, reads safely.

#include <string>
#include <string_view>
#include <unordered_map>

namespace mirvane {

inline constexpr std::size_t kMaxProfileValue = 2047;

// A settings file larger than this is not read at all. A hundred presets with
// every value at its full length take about 600 KiB, so no real file comes
// near; anything larger is a mistake (a video dropped in its place, say) that
// must not cost its size in memory.
inline constexpr std::size_t kMaxProfileFileBytes = 16 * 1024 * 1024;

class ProfileFile {
public:
    // A missing or unreadable file, anything but a regular file, and a file
    // larger than kMaxProfileFileBytes give an empty profile.
    static ProfileFile load(const std::string& path);
    static ProfileFile parse(std::string_view content);

    std::string value(std::string_view section, std::string_view key) const;

private:
    // Lower-cased section name -> lower-cased key -> value. Each section name is
    // stored once, so a huge header line followed by many keys stays linear.
    std::unordered_map<std::string, std::unordered_map<std::string, std::string>> m_sections;
};

}  // namespace mirvane
