#pragma once
// The message in which a second copy hands its files to the running copy: a
// 4-byte length of what follows, then each file as a 4-byte length and its
// exact bytes. Lengths are unsigned and little-endian whatever the machine.
// The receiver trusts nothing in it: a length that runs past the end, a name
// longer than the system can open, or a message larger than a command line
// can ever be, is not a list of files, and is refused as soon as its length
// is read, before any of what it announces is taken in.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/formats/path_style.h"

namespace mirvane {

// More than the arguments any system passes to a program (at most 6 MiB on
// Linux, 32,767 UTF-16 units on Windows), little for a listener to hold for
// a moment.
inline constexpr std::size_t kHandOverMaxBody = 8 * 1024 * 1024;
inline constexpr std::size_t kHandOverHeaderSize = 4;

// The longest name each system opens: 4096 bytes with the terminating NUL
// on Linux, 32,767 UTF-16 units on Windows (at most three UTF-8 bytes each).
inline constexpr std::size_t kMaxPathBytesPosix = 4095;
inline constexpr std::size_t kMaxPathUnitsWindows = 32767;

// True when the system of the given style could open a file of that name:
// its UTF-8 bytes, or on Windows its UTF-16 units, are not too many.
bool FitsSystemPath(std::string_view path, PathStyle style);

// The whole message; nothing when a name does not fit the system or the
// files do not fit in kHandOverMaxBody.
std::optional<std::string> EncodeHandOver(const std::vector<std::string>& files,
                                          PathStyle style = kNativePathStyle);

// Reads one message as its bytes arrive, holding no more than the lengths
// read so far allow: a connection is read only `wanted()` bytes at a time and
// dropped the moment the message is refused.
class HandOverReader {
public:
    enum class State { Reading, Done, Refused };

    explicit HandOverReader(PathStyle style = kNativePathStyle);

    // At most this many bytes belong to the message from here on; 0 once it
    // is done or refused.
    std::size_t wanted() const;
    // Takes bytes of the message (never more than wanted()).
    State take(std::string_view bytes);
    State state() const { return m_state; }
    // The files, once done.
    std::vector<std::string> takeFiles() { return std::move(m_files); }

private:
    void lengthRead();

    PathStyle m_style;
    State m_state = State::Reading;
    bool m_inHeader = true;  // the message's own length is being read
    bool m_inLength = true;  // a length (rather than a name) is being read
    std::string m_field;     // the length or the name being read
    std::size_t m_fieldSize = kHandOverHeaderSize;
    std::size_t m_bodyLeft = 0;  // bytes of the body not read yet
    std::vector<std::string> m_files;
};

}  // namespace mirvane
