#include "engine/encoding/console_lines.h"

namespace mirvane {

std::string_view ConsoleLines::cutToBound(std::string_view line) {
    if (line.size() <= kMaxLineBytes) return line;
    std::size_t end = kMaxLineBytes;
    while (end > 0 && (static_cast<unsigned char>(line[end]) & 0xC0) == 0x80) --end;
    return line.substr(0, end);
}

}  // namespace mirvane
