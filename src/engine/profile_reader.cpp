#include "engine/profile_reader.h"

#include <algorithm>

#include "engine/platform/platform.h"

namespace mirvane {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

// ASCII folding only: the names that matter are ASCII, and folding by a locale
// would make the same file read differently on differently configured systems.
std::string toLower(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

bool isContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

std::size_t sequenceLength(unsigned char lead) {
    if (lead >= 0xF8) return 1;  // never a lead byte in UTF-8
    if (lead >= 0xF0) return 4;
    if (lead >= 0xE0) return 3;
    if (lead >= 0xC0) return 2;
    return 1;
}

// Cuts to kMaxProfileValue bytes; a character that would straddle the cut is
// dropped whole. Only a well-formed lead byte moves the cut, so a run of stray
// continuation bytes in a malformed file cannot shorten the value further.
std::string_view cutValue(std::string_view v) {
    if (v.size() <= kMaxProfileValue) return v;
    const std::size_t cut = kMaxProfileValue;
    if (!isContinuation(v[cut])) return v.substr(0, cut);
    for (std::size_t lead = cut - 1; lead + 4 > cut; --lead) {
        const auto c = static_cast<unsigned char>(v[lead]);
        if (isContinuation(c)) continue;
        return v.substr(0, lead + sequenceLength(c) > cut ? lead : cut);
    }
    return v.substr(0, cut);
}

// Splits text at every CR and every LF: a CR LF pair thus leaves an empty
// line between, which the parser skips like any blank line. The next position
// of each line-end byte is remembered, so text with many of one kind and few
// of the other is still scanned once.
class LineSplitter {
public:
    explicit LineSplitter(std::string_view text)
        : m_text(text), m_nextLf(text.find('\n')), m_nextCr(text.find('\r')) {}

    bool next(std::string_view& line) {
        if (m_pos >= m_text.size()) return false;
        if (m_nextLf < m_pos) m_nextLf = m_text.find('\n', m_pos);
        if (m_nextCr < m_pos) m_nextCr = m_text.find('\r', m_pos);
        const std::size_t end = std::min({m_nextLf, m_nextCr, m_text.size()});
        line = m_text.substr(m_pos, end - m_pos);
        m_pos = end + 1;
        return true;
    }

private:
    std::string_view m_text;
    std::size_t m_nextLf;
    std::size_t m_nextCr;
    std::size_t m_pos = 0;
};

}  // namespace

ProfileFile ProfileFile::load(const std::string& path) {
    // Whatever kept the file from being read, the caller learns it from the
    // empty profile: the start-up reports that no preset could be read.
    std::string content;
    if (platform::readFile(path, kMaxProfileFileBytes, content)) return {};
    return parse(content);
}

// A header seen again continues the same section, and within a section the
// first occurrence of a key wins wherever it stands, so keys under a repeated
// header count only where the earlier occurrences did not have them.
ProfileFile ProfileFile::parse(std::string_view content) {
    ProfileFile profile;
    if (content.starts_with(kUtf8Bom)) content.remove_prefix(kUtf8Bom.size());

    std::unordered_map<std::string, std::string>* section = nullptr;  // none before the first header
    LineSplitter lines(content);
    for (std::string_view line; lines.next(line);) {
        line = trim(line);
        if (line.empty() || line.front() == ';' || line.front() == '#') continue;
        if (line.front() == '[') {
            // Without a closing bracket the rest of the line is the name;
            // anything after the bracket is ignored.
            const std::string_view name = trim(line.substr(1, line.find(']') - 1));
            section = &profile.m_sections[toLower(name)];
            continue;
        }
        const std::size_t eq = line.find('=');
        if (section == nullptr || eq == std::string_view::npos) continue;
        const std::string_view key = trim(line.substr(0, eq));
        if (key.empty()) continue;
        // Values are kept byte for byte: quotes and ';' are ordinary characters
        // because encoder options use both.
        section->try_emplace(toLower(key), cutValue(trim(line.substr(eq + 1))));
    }
    return profile;
}

std::string ProfileFile::value(std::string_view section, std::string_view key) const {
    const auto keys = m_sections.find(toLower(section));
    if (keys == m_sections.end()) return {};
    const auto it = keys->second.find(toLower(key));
    return it == keys->second.end() ? std::string() : it->second;
}

}  // namespace mirvane
