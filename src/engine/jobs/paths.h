#pragma once
// Path and text rules, byte for byte over the engine's multibyte text.
// Windows style knows `\` and `:` as separators and never takes the trail
// byte of a double-byte character for one; POSIX style knows only `/` over
// UTF-8, where no continuation byte can look like an ASCII character.
//
// Which bytes begin a double-byte character is asked, never assumed: the
// engine's text is UTF-8 on every system (Windows names are converted at the
// platform's edge), and UTF-8 has none, so by default no byte is one. A
// Shift-JIS rule applied to UTF-8 would hide the separator or the dot after
// characters such as "あ" (E3 81 82, whose last byte is a Shift-JIS lead
// byte); applied to the ANSI bytes of a Western code page it would hide them
// after "é" or "ü". Text in a double-byte code page can still be handled by
// passing that code page's lead-byte test.

#include <string>
#include <string_view>

#include "engine/formats/path_style.h"
#include "engine/platform/text.h"

namespace mirvane {

// True when the byte begins a double-byte character of the text at hand.
// Only the Windows style asks it: no POSIX text encoding has a trail byte
// that equals '/'.
using LeadByteTest = bool (*)(unsigned char byte);

// The path up to and including its last separator; empty when it has none.
std::string ExtractFolder(std::string_view path, PathStyle style = kNativePathStyle,
                          LeadByteTest isLeadByte = platform::isLeadByte);
// From the last dot to the end, when no separator follows that dot.
std::string ExtractExtension(std::string_view path, PathStyle style = kNativePathStyle,
                             LeadByteTest isLeadByte = platform::isLeadByte);
// The path without its extension, followed by the new extension text.
std::string ChangeExtension(std::string_view path, std::string_view extension,
                            PathStyle style = kNativePathStyle,
                            LeadByteTest isLeadByte = platform::isLeadByte);
// Every non-overlapping, case-sensitive occurrence of pattern replaced; text
// inserted by a replacement is not searched again; an empty pattern matches
// nothing; a match never begins on a trail byte.
std::string ReplaceAll(std::string_view text, std::string_view pattern, std::string_view replacement,
                       PathStyle style = kNativePathStyle, LeadByteTest isLeadByte = platform::isLeadByte);

}  // namespace mirvane
