// Building and reading the frames of the PIN pad link, without any port:
// data and info frames (STX, type, Base64 of sequence, n, payload, CRC, ETX),
// fast frames (STX, "?", Base64 of a whole message image, ETX) and legacy
// hexadecimal frames (STX, hex payload, hex LRC, ETX, ETX).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/base_array.h"

namespace pplink {

inline constexpr uint32_t kMaxFramePayload = 255;
inline constexpr uint32_t kMaxInnerFrame = kMaxFramePayload + 4;  // 259
inline constexpr uint32_t kFrameWorkArea = 401;
inline constexpr uint32_t kLegacyPiece = 120;
inline constexpr uint8_t kMoreFrames = 0x80;

// A data ("#") or info ("!") frame into array (emptied first); false only
// when the array cannot grow.
bool MakeTypedFrame(common::UBaseArrayT<uint8_t>& array, uint8_t type, uint8_t sequence, const uint8_t* payload,
                    uint8_t n);

// Reads the Base64 text of a data or info frame (the bytes between type byte
// and ETX). On success returns n and sets the sequence byte and the payload
// (copied into payload, which holds at least 255 bytes); -1 when the text is
// damaged (Base64, size or CRC).
int DecodeTypedFrameText(const uint8_t* text, size_t length, uint8_t* sequence, uint8_t* payload);

// A fast frame of one message image.
void MakeFastFrame(const uint8_t* image, size_t length, std::vector<uint8_t>& out);

// The LRC of a legacy frame: 0x02 XOR every payload byte.
uint8_t LegacyLrc(const uint8_t* payload, size_t n);
// A legacy hexadecimal frame of 2n + 5 bytes.
void MakeLegacyFrame(const uint8_t* payload, size_t n, std::vector<uint8_t>& out);
inline bool IsUpperHexDigit(uint8_t c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }
// Two hexadecimal digits (either case) into a byte; false when one is not a digit.
bool HexPair(uint8_t high, uint8_t low, uint8_t* out);

}  // namespace pplink

// A data frame into a growable byte array (the array is emptied first);
// false only when the array cannot grow.
bool tspMakeNewFrame(common::UBaseArrayT<uint8_t>& array, uint8_t sequence, const uint8_t* payload, uint8_t n);
