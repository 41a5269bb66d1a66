#pragma once
// Path and text rules, byte for byte over the system's multibyte text.
// Windows style knows `\` and `:` as separators and never takes the trail
// byte of a Shift-JIS character for one; POSIX style knows only `/` over
// UTF-8, where no continuation byte can look like an ASCII character.

#include <string>
#include <string_view>

namespace mirvane {

enum class PathStyle { Posix, Windows };

#ifdef _WIN32
inline constexpr PathStyle kNativePathStyle = PathStyle::Windows;
#else
inline constexpr PathStyle kNativePathStyle = PathStyle::Posix;
#endif

// The path up to and including its last separator; empty when it has none.
std::string ExtractFolder(std::string_view path, PathStyle style = kNativePathStyle);
// From the last dot to the end, when no separator follows that dot.
std::string ExtractExtension(std::string_view path, PathStyle style = kNativePathStyle);
// The path without its extension, followed by the new extension text.
std::string ChangeExtension(std::string_view path, std::string_view extension,
                            PathStyle style = kNativePathStyle);
// Every non-overlapping, case-sensitive occurrence of pattern replaced; text
// inserted by a replacement is not searched again; an empty pattern matches
// nothing; a match never begins on a trail byte.
std::string ReplaceAll(std::string_view text, std::string_view pattern, std::string_view replacement,
                       PathStyle style = kNativePathStyle);

}  // namespace mirvane
