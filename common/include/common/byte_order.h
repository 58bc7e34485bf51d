// Integers in the two byte orders of the wire and the files. MSB_* / *_MSB are
// little-endian (the PIN pad's order); HSB_*_B / *_HSB_B are big-endian.
// The pointer must address at least as many bytes as the width.
#pragma once

#include <cstdint>

namespace common {

inline uint16_t MSB_WORD(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t MSB_DWORD(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline uint64_t MSB_QWORD(const uint8_t* p) {
  return static_cast<uint64_t>(MSB_DWORD(p)) | (static_cast<uint64_t>(MSB_DWORD(p + 4)) << 32);
}
inline void WORD_MSB(uint16_t v, uint8_t* p) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void DWORD_MSB(uint32_t v, uint8_t* p) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}
inline void QWORD_MSB(uint64_t v, uint8_t* p) {
  DWORD_MSB(static_cast<uint32_t>(v), p);
  DWORD_MSB(static_cast<uint32_t>(v >> 32), p + 4);
}

inline uint16_t HSB_WORD_B(const uint8_t* p) {
  return static_cast<uint16_t>((p[0] << 8) | p[1]);
}
inline uint32_t HSB_DWORD_B(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}
inline uint64_t HSB_QWORD_B(const uint8_t* p) {
  return (static_cast<uint64_t>(HSB_DWORD_B(p)) << 32) | HSB_DWORD_B(p + 4);
}
inline void WORD_HSB_B(uint16_t v, uint8_t* p) {
  p[0] = static_cast<uint8_t>(v >> 8);
  p[1] = static_cast<uint8_t>(v);
}
inline void DWORD_HSB_B(uint32_t v, uint8_t* p) {
  p[0] = static_cast<uint8_t>(v >> 24);
  p[1] = static_cast<uint8_t>(v >> 16);
  p[2] = static_cast<uint8_t>(v >> 8);
  p[3] = static_cast<uint8_t>(v);
}

}  // namespace common
