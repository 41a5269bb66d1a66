#pragma once
// The end of an encoder's console text, kept to explain a failed job: the
// last line that says something (not blank, not a progress line), cut to a
// bounded length, so a job of any length costs the same memory.

#include <string>
#include <string_view>

namespace mirvane {

class OutputTail {
public:
    void add(std::string_view chunk);
    // The last line worth showing, the unfinished one included; empty when
    // the encoder said nothing of use.
    std::string lastLine() const;

private:
    void endLine();

    std::string m_current;  // the line being received, cut to kMaxLineBytes
    std::string m_last;     // the last complete line worth showing
};

}  // namespace mirvane
