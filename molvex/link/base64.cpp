#include "molvex/link/base64.h"

#include <array>

namespace pplink {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<int8_t, 256> MakeReverse() {
  std::array<int8_t, 256> table{};
  for (auto& v : table) v = -1;
  for (int i = 0; i < 64; ++i) table[static_cast<uint8_t>(kAlphabet[i])] = static_cast<int8_t>(i);
  return table;
}

constexpr std::array<int8_t, 256> kReverse = MakeReverse();

}  // namespace

size_t Base64Encode(const uint8_t* data, size_t length, char* out, size_t room) {
  size_t needed = Base64EncodedLength(length);
  if (room < needed) return 0;
  size_t o = 0;
  size_t i = 0;
  for (; i + 3 <= length; i += 3) {
    uint32_t v = (static_cast<uint32_t>(data[i]) << 16) | (static_cast<uint32_t>(data[i + 1]) << 8) | data[i + 2];
    out[o++] = kAlphabet[(v >> 18) & 63];
    out[o++] = kAlphabet[(v >> 12) & 63];
    out[o++] = kAlphabet[(v >> 6) & 63];
    out[o++] = kAlphabet[v & 63];
  }
  size_t rest = length - i;
  if (rest != 0) {
    uint32_t v = static_cast<uint32_t>(data[i]) << 16;
    if (rest == 2) v |= static_cast<uint32_t>(data[i + 1]) << 8;
    out[o++] = kAlphabet[(v >> 18) & 63];
    out[o++] = kAlphabet[(v >> 12) & 63];
    out[o++] = rest == 2 ? kAlphabet[(v >> 6) & 63] : '=';
    out[o++] = '=';
  }
  return o;
}

long Base64Decode(const uint8_t* text, size_t length, uint8_t* out, size_t room) {
  if (length % 4 != 0) return -1;
  size_t o = 0;
  for (size_t i = 0; i < length; i += 4) {
    bool last = i + 4 == length;
    int pad = 0;
    uint32_t v = 0;
    for (size_t k = 0; k < 4; ++k) {
      uint8_t c = text[i + k];
      int8_t d = kReverse[c];
      if (c == '=' && last && k >= 2) {
        ++pad;
        d = 0;
      } else if (d < 0 || pad != 0) {
        return -1;  // outside the alphabet, or data after padding
      }
      v = (v << 6) | static_cast<uint32_t>(d);
    }
    size_t produced = 3 - static_cast<size_t>(pad);
    if (room - o < produced) return -1;
    out[o++] = static_cast<uint8_t>(v >> 16);
    if (produced > 1) out[o++] = static_cast<uint8_t>(v >> 8);
    if (produced > 2) out[o++] = static_cast<uint8_t>(v);
  }
  return static_cast<long>(o);
}

}  // namespace pplink
