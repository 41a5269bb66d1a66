#pragma once
// Lead-byte tests of particular code pages, for the path rules over text in
// those code pages' bytes.

namespace mirvane::test {

// Code page 932 (Shift-JIS): the bytes that begin a double-byte character.
inline bool isShiftJisLeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// A single-byte code page such as 1252 (Western): no byte begins a
// double-byte character.
inline bool isSingleByteLeadByte(unsigned char) { return false; }

}  // namespace mirvane::test
