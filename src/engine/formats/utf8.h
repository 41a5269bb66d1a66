#pragma once
// UTF-8 as the standard allows it: no overlong forms, no surrogates, nothing
// past U+10FFFF. Names and settings arrive as bytes; what reads them as text
// asks here whether they are.

#include <cstddef>
#include <string_view>

namespace mirvane {

// The length in bytes of the UTF-8 character text begins with; 0 when text is
// empty or does not begin with a whole, valid one.
std::size_t Utf8CharacterLength(std::string_view text);

// True when the whole text is valid UTF-8.
bool IsValidUtf8(std::string_view text);

}  // namespace mirvane
