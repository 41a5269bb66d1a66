#include "engine/formats/hand_over_message.h"

#include <algorithm>

namespace mirvane {

namespace {

void appendLength(std::string& out, std::size_t length) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>((length >> shift) & 0xff));
}

std::uint32_t readLength(std::string_view bytes) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[i]);
    return value;
}

// The most bytes a name the system opens can take in the message.
std::size_t maxPathBytes(PathStyle style) {
    return style == PathStyle::Windows ? 3 * kMaxPathUnitsWindows : kMaxPathBytesPosix;
}

}  // namespace

// UTF-16 takes one unit for each character that UTF-8 writes in up to three
// bytes, two for one written in four: one per byte that begins a character,
// one more per byte that begins a four-byte one.
bool FitsSystemPath(std::string_view path, PathStyle style) {
    if (style == PathStyle::Posix) return path.size() <= kMaxPathBytesPosix;
    if (path.size() > maxPathBytes(style)) return false;
    std::size_t units = 0;
    for (const char byte : path) {
        const auto value = static_cast<unsigned char>(byte);
        if ((value & 0xc0) != 0x80) ++units;
        if (value >= 0xf0) ++units;
    }
    return units <= kMaxPathUnitsWindows;
}

std::optional<std::string> EncodeHandOver(const std::vector<std::string>& files, PathStyle style) {
    std::size_t body = 0;
    for (const std::string& file : files) {
        if (!FitsSystemPath(file, style)) return std::nullopt;
        body += kHandOverHeaderSize + file.size();
        if (body > kHandOverMaxBody) return std::nullopt;
    }
    std::string message;
    message.reserve(kHandOverHeaderSize + body);
    appendLength(message, body);
    for (const std::string& file : files) {
        appendLength(message, file.size());
        message += file;
    }
    return message;
}

HandOverReader::HandOverReader(PathStyle style) : m_style(style) {}

std::size_t HandOverReader::wanted() const {
    if (m_state != State::Reading) return 0;
    return m_fieldSize - m_field.size();
}

HandOverReader::State HandOverReader::take(std::string_view bytes) {
    while (m_state == State::Reading && !bytes.empty()) {
        const std::size_t piece = std::min(wanted(), bytes.size());
        m_field.append(bytes.substr(0, piece));
        bytes.remove_prefix(piece);
        if (m_field.size() < m_fieldSize) continue;
        if (m_inLength) {
            lengthRead();
        } else {
            if (!FitsSystemPath(m_field, m_style)) {
                m_state = State::Refused;
                break;
            }
            m_files.push_back(std::move(m_field));
            m_field.clear();
            m_inLength = true;
            m_fieldSize = kHandOverHeaderSize;
            if (m_bodyLeft == 0) m_state = State::Done;
        }
    }
    if (!bytes.empty()) m_state = State::Refused;
    return m_state;
}

// A length decides at once whether what it announces is taken at all.
void HandOverReader::lengthRead() {
    const std::size_t length = readLength(m_field);
    m_field.clear();
    if (m_inHeader) {
        m_inHeader = false;
        if (length > kHandOverMaxBody) {
            m_state = State::Refused;
        } else if (length == 0) {
            m_state = State::Done;
        }
        m_bodyLeft = length;
        return;
    }
    if (m_bodyLeft < kHandOverHeaderSize + length || length > maxPathBytes(m_style)) {
        m_state = State::Refused;
        return;
    }
    m_bodyLeft -= kHandOverHeaderSize + length;
    m_inLength = false;
    m_fieldSize = length;
    m_field.reserve(length);
    if (length == 0) {
        m_files.emplace_back();
        m_inLength = true;
        m_fieldSize = kHandOverHeaderSize;
        if (m_bodyLeft == 0) m_state = State::Done;
    }
}

}  // namespace mirvane
