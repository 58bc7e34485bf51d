// The legacy framing: hexadecimal text frames of at most 120 payload bytes,
// each non-last piece acknowledged by the simple code 0x26.
#pragma once

#include <cstdint>

inline constexpr uint8_t kLegacyNext = 0x26;    // piece received, send the next one
inline constexpr uint8_t kLegacyRepeat = 0x17;  // send the last piece again

// Sends one legacy piece: 0 (failed), 4 (sent, no reply awaited) or 6 (acknowledged).
uint8_t tspSendFrameMSB(int8_t port, bool waitReply, const uint8_t* payload, uint32_t n);
// Sends the three-byte message (code, 0, 0) as one legacy frame, without waiting.
void tspSendSimpleMSBcode(int8_t port, uint8_t code);
