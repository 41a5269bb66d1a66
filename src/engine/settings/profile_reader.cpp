#include "engine/settings/profile_reader.h"

#include <algorithm>
#include <cstdint>

#include "engine/formats/utf8.h"
#include "engine/platform/files.h"
#include "engine/platform/text.h"

namespace mirvane {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
constexpr std::string_view kUtf16BeBom = "\xFE\xFF";

// The blanks Windows trims from names and values. 0x1A ended text files
// under DOS, and editors of that lineage still write it.
bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\n' || c == '\x1A';
}

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

std::string_view untilNul(std::string_view s) { return s.substr(0, s.find('\0')); }

// A value wholly enclosed in one pair of quotes loses the pair.
std::string_view withoutOuterQuotes(std::string_view v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        return v.substr(1, v.size() - 2);
    }
    return v;
}

void appendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | code >> 6);
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | code >> 12);
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | code >> 18);
        out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// UTF-16 after its byte-order mark; a lone surrogate becomes U+FFFD and an
// odd last byte is dropped.
std::string utf16ToUtf8(std::string_view bytes, bool bigEndian) {
    std::string out;
    out.reserve(bytes.size());
    auto unit = [&](std::size_t i) -> std::uint32_t {
        const auto first = static_cast<unsigned char>(bytes[i]);
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        return bigEndian ? (first << 8 | second) : (second << 8 | first);
    };
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        std::uint32_t code = unit(i);
        if (code >= 0xD800 && code <= 0xDBFF && i + 3 < bytes.size()) {
            const std::uint32_t low = unit(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        if (code >= 0xD800 && code <= 0xDFFF) code = 0xFFFD;
        appendUtf8(out, code);
    }
    return out;
}


}  // namespace

std::string DecodeSettingsText(std::string bytes) {
    if (std::string_view(bytes).starts_with(kUtf8Bom)) return bytes.substr(kUtf8Bom.size());
    if (std::string_view(bytes).starts_with(kUtf16LeBom))
        return utf16ToUtf8(std::string_view(bytes).substr(2), false);
    if (std::string_view(bytes).starts_with(kUtf16BeBom))
        return utf16ToUtf8(std::string_view(bytes).substr(2), true);
    if (IsValidUtf8(bytes)) return bytes;
    return platform::systemCodePageToUtf8(bytes);
}

ProfileFile ProfileFile::load(const std::string& path) {
    // Whatever kept the file from being read, the caller learns it from the
    // empty profile: the start-up reports that no preset could be read.
    std::string content;
    if (platform::readFile(path, kMaxProfileFileBytes, content)) return {};
    return parse(DecodeSettingsText(std::move(content)));
}

ProfileFile ProfileFile::parse(std::string_view content) {
    ProfileFile profile;
    if (content.starts_with(kUtf8Bom)) content.remove_prefix(kUtf8Bom.size());

    // Keys before the first header belong to the section with the empty name.
    // A repeated header leaves no section to fill: its keys are never read.
    std::unordered_map<std::string, std::string>* section = &profile.m_sections[std::string()];
    LineSplitter lines(content);
    for (std::string_view line; lines.next(line);) {
        line = trim(line);
        if (line.empty() || line.front() == ';' || line.front() == '#') continue;
        const std::size_t close = line.front() == '[' ? line.rfind(']') : std::string_view::npos;
        if (close != std::string_view::npos) {
            const std::string name = toLower(untilNul(trim(line.substr(1, close - 1))));
            const auto [entry, isNew] = profile.m_sections.try_emplace(name);
            section = isNew ? &entry->second : nullptr;
            continue;
        }
        if (section == nullptr) continue;
        const std::size_t eq = line.find('=');
        const std::string_view key = untilNul(trim(line.substr(0, eq)));
        if (key.empty()) continue;
        // Quotes inside a value and ';' are ordinary characters: encoder
        // options use both.
        const std::string_view value = eq == std::string_view::npos
                                           ? std::string_view()
                                           : withoutOuterQuotes(untilNul(trim(line.substr(eq + 1))));
        section->try_emplace(toLower(key), cutValue(value));
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
