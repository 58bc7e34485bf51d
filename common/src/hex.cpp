#include "common/hex.h"

namespace common {
namespace {

constexpr char kUpperDigits[] = "0123456789ABCDEF";
constexpr char kColonDigits[] = "0123456789:;<=>?";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

void BytesToHex(const uint8_t* data, char* out, size_t len, int digitSet) {
  if (data == nullptr || out == nullptr) return;
  const char* digits = digitSet == kHexColon ? kColonDigits : kUpperDigits;
  for (size_t i = 0; i < len; ++i) {
    out[2 * i] = digits[data[i] >> 4];
    out[2 * i + 1] = digits[data[i] & 0x0F];
  }
}

void hex_2_ascii(const uint8_t* data, char* out, size_t len) {
  if (out == nullptr) return;
  if (data == nullptr) len = 0;
  BytesToHex(data, out, len, kHexUpper);
  out[2 * len] = '\0';
}

void ascii_2_hex(const char* text, uint8_t* out, size_t len) {
  if (text == nullptr || out == nullptr) return;
  for (size_t i = 0; i + 1 < len; i += 2) {
    const int hi = HexValue(text[i]);
    const int lo = HexValue(text[i + 1]);
    out[i / 2] = static_cast<uint8_t>(((hi < 0 ? 0 : hi) << 4) | (lo < 0 ? 0 : lo));
  }
}

size_t HexToBytes(const char* text, uint8_t* out, size_t len) {
  if (text == nullptr || out == nullptr) return len;
  size_t i = 0;
  for (; i + 1 < len; i += 2) {
    const int hi = HexValue(text[i]);
    if (hi < 0) break;
    const int lo = HexValue(text[i + 1]);
    if (lo < 0) break;
    out[i / 2] = static_cast<uint8_t>((hi << 4) | lo);
  }
  return len - i;
}

void termPackCurCode(uint8_t* out, const char* text) {
  if (out == nullptr) return;
  uint8_t digits[4] = {0, 0, 0, 0};
  size_t n = 0;
  while (text != nullptr && n < 3 && text[n] != '\0') ++n;
  for (size_t i = 0; i < n; ++i) {
    const char c = text[i];
    digits[4 - n + i] = (c >= '0' && c <= '9') ? static_cast<uint8_t>(c - '0') : 0;
  }
  out[0] = static_cast<uint8_t>((digits[0] << 4) | digits[1]);
  out[1] = static_cast<uint8_t>((digits[2] << 4) | digits[3]);
}

void termUnpackCurCode(char* out, const uint8_t* bytes) {
  if (out == nullptr) return;
  if (bytes == nullptr) {
    out[0] = '\0';
    return;
  }
  out[0] = kUpperDigits[bytes[0] & 0x0F];
  out[1] = kUpperDigits[bytes[1] >> 4];
  out[2] = kUpperDigits[bytes[1] & 0x0F];
  out[3] = '\0';
}

}  // namespace common
