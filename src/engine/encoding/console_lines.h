#pragma once
// The encoder's console text as lines, whatever pieces the reads cut it into.
// A line ends at CR or at LF: a progress line that ends in CR alone is a line
// like any other. Empty lines are passed over (so CR LF is one break); a line longer than the bound is cut to
// it (before a UTF-8 character that would not fit) and the rest of it dropped, so that one job's text costs
// bounded memory whatever it holds.

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

namespace mirvane {

class ConsoleLines {
public:
    // Longer than any line ffmpeg prints (its encoder's option list, about
    // 1,500 bytes, is the longest).
    static constexpr std::size_t kMaxLineBytes = 4096;

    // Calls onLine(std::string_view) for each line the chunk completes.
    template <typename OnLine>
    void add(std::string_view chunk, OnLine&& onLine) {
        while (!chunk.empty()) {
            const std::size_t end = chunk.find_first_of("\r\n");
            const std::string_view piece = chunk.substr(0, end);
            if (end != std::string_view::npos && m_line.empty()) {
                // The whole line is in this chunk: no copy.
                if (!piece.empty()) onLine(cutToBound(piece));
            } else {
                // One byte beyond the bound tells cutToBound where a character ends.
                const std::size_t room = kMaxLineBytes + 1 - std::min(m_line.size(), kMaxLineBytes + 1);
                m_line.append(piece.substr(0, room));
                if (end == std::string_view::npos) return;
                onLine(cutToBound(m_line));
                m_line.clear();
            }
            chunk.remove_prefix(end + 1);
        }
    }

    // The text has ended: its unfinished last line, if any, is a line too.
    template <typename OnLine>
    void finish(OnLine&& onLine) {
        if (!m_line.empty()) onLine(cutToBound(m_line));
        m_line.clear();
    }

    // The line cut to kMaxLineBytes, never inside a UTF-8 character.
    static std::string_view cutToBound(std::string_view line);

private:
    std::string m_line;  // the line being received, at most one byte beyond the bound
};

}  // namespace mirvane
