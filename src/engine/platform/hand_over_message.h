#pragma once
// The message in which a second copy hands its files to the running copy: a
// 4-byte length of what follows, then each file as a 4-byte length and its
// exact bytes. Lengths are unsigned and little-endian whatever the machine.
// The receiver trusts nothing in it: a length that runs past the end, or a
// message larger than a command line can ever be, is not a list of files.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mirvane {

// Far above the arguments any system passes to a program (2 MiB by default
// on Linux), far below what a listener minds holding for a moment.
inline constexpr std::size_t kHandOverMaxBody = 16 * 1024 * 1024;
inline constexpr std::size_t kHandOverHeaderSize = 4;

// The whole message; nothing when the files do not fit in kHandOverMaxBody.
std::optional<std::string> EncodeHandOver(const std::vector<std::string>& files);

// The body's length that a header announces; nothing when it is more than
// kHandOverMaxBody or the header is not kHandOverHeaderSize bytes long.
std::optional<std::size_t> HandOverBodySize(std::string_view header);

// The files of a whole body, in order; nothing when the body is not exactly
// a sequence of length-prefixed byte strings.
std::optional<std::vector<std::string>> DecodeHandOverBody(std::string_view body);

}  // namespace mirvane
