// Hexadecimal text and packed numeric (BCD) currency codes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace common {

// Digit set 0: "0123456789ABCDEF"; digit set 1: "0123456789:;<=>?" (the
// nibble added to '0'), which some peers expect.
inline constexpr int kHexUpper = 0;
inline constexpr int kHexColon = 1;

// Writes 2 * len characters, high nibble first, without a terminating zero.
void BytesToHex(const uint8_t* data, char* out, size_t len, int digitSet);
// The same in upper-case hexadecimal, followed by a terminating zero
// (out holds 2 * len + 1 bytes).
void hex_2_ascii(const uint8_t* data, char* out, size_t len);
// len hexadecimal characters (either letter case) into len / 2 bytes. No
// checking: a character that is not a hexadecimal digit counts as 0.
void ascii_2_hex(const char* text, uint8_t* out, size_t len);
// Like ascii_2_hex, but stops at the first pair holding a character that is
// not a hexadecimal digit. Returns the number of characters not consumed
// (0 when all were; an odd last character is never consumed).
size_t HexToBytes(const char* text, uint8_t* out, size_t len);

// "643" -> 06 43. A shorter text is taken as the low digits ("43" -> 00 43);
// a character that is not a digit counts as 0.
void termPackCurCode(uint8_t* out, const char* text);
// 06 43 -> "643" and a terminating zero (out holds 4 bytes).
void termUnpackCurCode(char* out, const uint8_t* bytes);

}  // namespace common
