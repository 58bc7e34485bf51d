// Result codes and control bytes shared by the whole PIN pad link and its callers.
#pragma once

#include <cstdint>

namespace pplink {

// 16-bit result codes of the link operations.
inline constexpr uint16_t kLinkOk = 0;
inline constexpr uint16_t kLinkFailed = 99;          // nothing arrived, no answer, write failed, damaged
inline constexpr uint16_t kLinkRefused = 238;        // the PIN pad refused a frame three times
inline constexpr uint16_t kLinkFrameTimeout = 251;   // a message was begun but not continued
inline constexpr uint16_t kLinkNotSupported = 252;
inline constexpr uint16_t kLinkPortError = 253;      // the port reported an error
inline constexpr uint16_t kLinkPortBusy = 254;

// Bytes sent alone outside any frame.
inline constexpr uint8_t STX = 0x02;
inline constexpr uint8_t ETX = 0x03;
inline constexpr uint8_t EOT = 0x04;
inline constexpr uint8_t ACK = 0x06;
inline constexpr uint8_t BEL = 0x07;
inline constexpr uint8_t NAK = 0x15;
inline constexpr uint8_t SYN = 0x16;

inline bool IsControlCode(uint8_t b) { return b == EOT || b == ACK || b == BEL || b == NAK || b == SYN; }

// Frame type bytes (the byte after STX).
inline constexpr uint8_t kDataFrame = '#';
inline constexpr uint8_t kInfoFrame = '!';
inline constexpr uint8_t kFastFrame = '?';

// Identifier of every message in the legacy protocol, and of a reply to a
// request without a known identifier.
inline constexpr uint32_t kLegacyMessageId = 0xFFFFFFFFu;
inline constexpr uint32_t kReplyIdBit = 0x80000000u;
inline constexpr uint32_t kMaxMessageId = 999999u;

}  // namespace pplink

// The control byte table in the order the link lists them.
inline constexpr uint8_t cControlCodes[] = {pplink::ACK, pplink::BEL, pplink::EOT, pplink::NAK, pplink::SYN};
