#pragma once
// Reader for the settings file (MovieSet.ini), with the rules of Windows' own
// GetPrivateProfileStringA wherever a settings file written for it could
// read differently, on every system:
// - the file's bytes are decoded first: a UTF-8 or UTF-16 byte-order mark
//   says what they are; otherwise valid UTF-8 is UTF-8, and anything else is
//   in the system's own code page (ANSI on Windows, so existing Shift-JIS
//   files keep working; kept as bytes elsewhere);
// - lines end at CR, LF or both; names and values are trimmed of blanks
//   (space, tab, vertical tab, form feed and the old end-of-file mark 0x1A);
// - a line is a section header when it begins with `[` and holds a `]`: the
//   name runs to the last `]`, and anything after it is ignored; a `[` line
//   without `]` is an ordinary key line;
// - only the first section of a name counts: the keys under a repeated
//   header are never read, as Windows never reads them;
// - within a section the first occurrence of a key wins; a line without `=`
//   is a key without a value, which reads as empty and hides later lines of
//   that key;
// - a value wholly enclosed in a pair of double or single quotes loses that
//   pair (k="-i x" reads -i x); quotes inside a value stay;
// - names and values end at a NUL byte;
// - keys before the first header belong to the section with the empty name.
// Where this reader differs from Windows on purpose: lines that begin with
// `;` or `#` are comments (Windows would read them as keys named `;...`,
// which Mirvane never asks for, so no answer changes); names are matched
// without regard to ASCII letter case only; values are cut to
// kMaxProfileValue bytes, never inside a UTF-8 character. Anything missing
// reads as the empty text. Any file, however malformed, reads safely.

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
    // Reads UTF-8 text (a UTF-8 byte-order mark is skipped).
    static ProfileFile parse(std::string_view content);

    std::string value(std::string_view section, std::string_view key) const;

private:
    // Lower-cased section name -> lower-cased key -> value. Each section name is
    // stored once, so a huge header line followed by many keys stays linear.
    std::unordered_map<std::string, std::unordered_map<std::string, std::string>> m_sections;
};

// The settings file's bytes as UTF-8 text, by the decoding rules above.
std::string DecodeSettingsText(std::string bytes);

}  // namespace mirvane
