#include "engine/platform/hand_over_message.h"

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

}  // namespace

std::optional<std::string> EncodeHandOver(const std::vector<std::string>& files) {
    std::size_t body = 0;
    for (const std::string& file : files) {
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

std::optional<std::size_t> HandOverBodySize(std::string_view header) {
    if (header.size() != kHandOverHeaderSize) return std::nullopt;
    const std::size_t size = readLength(header);
    if (size > kHandOverMaxBody) return std::nullopt;
    return size;
}

std::optional<std::vector<std::string>> DecodeHandOverBody(std::string_view body) {
    std::vector<std::string> files;
    while (!body.empty()) {
        if (body.size() < kHandOverHeaderSize) return std::nullopt;
        const std::size_t length = readLength(body);
        body.remove_prefix(kHandOverHeaderSize);
        if (length > body.size()) return std::nullopt;
        files.emplace_back(body.substr(0, length));
        body.remove_prefix(length);
    }
    return files;
}

}  // namespace mirvane
