#pragma once
// The end of an encoder's console text, kept to explain a failed job: the
// last line that says something (not blank, not a progress line), cut to a
// bounded length, so a job of any length costs the same memory.

#include <string>
#include <string_view>

namespace mirvane {

class OutputTail {
public:
    // Reads one whole line, without its line break.
    void readLine(std::string_view line);
    // The last line worth showing; empty when the encoder said nothing of use.
    const std::string& lastLine() const { return m_last; }

private:
    std::string m_last;
};

}  // namespace mirvane
