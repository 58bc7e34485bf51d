// Base64 with the standard alphabet and "=" padding, no line breaks: the
// text form of the link's frames.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pplink {

// Length of the text for length bytes (always a multiple of 4).
inline size_t Base64EncodedLength(size_t length) { return (length + 2) / 3 * 4; }
// Writes the text into out (room for Base64EncodedLength bytes, no terminating zero).
// Returns the number of characters written, or 0 when out is too small.
size_t Base64Encode(const uint8_t* data, size_t length, char* out, size_t room);

// Decodes text into out; -1 for a text whose length is not a multiple of 4,
// a character outside the alphabet, misplaced padding, or more bytes than room.
// Returns the number of bytes decoded.
long Base64Decode(const uint8_t* text, size_t length, uint8_t* out, size_t room);
// Bytes a text of that length decodes to at most.
inline size_t Base64MaxDecodedLength(size_t length) { return length / 4 * 3; }

}  // namespace pplink
