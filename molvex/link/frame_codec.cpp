#include "molvex/link/frame_codec.h"

#include <cstring>

#include "molvex/link/base64.h"
#include "molvex/link/crc16.h"
#include "molvex/link/link_results.h"

namespace pplink {

bool MakeTypedFrame(common::UBaseArrayT<uint8_t>& array, uint8_t type, uint8_t sequence, const uint8_t* payload,
                    uint8_t n) {
  uint8_t inner[kMaxInnerFrame];
  inner[0] = sequence;
  inner[1] = n;
  if (n != 0) std::memcpy(inner + 2, payload, n);
  uint16_t crc = Crc16Ccitt(inner, static_cast<size_t>(n) + 2);
  inner[n + 2] = static_cast<uint8_t>(crc & 0xFF);
  inner[n + 3] = static_cast<uint8_t>(crc >> 8);
  size_t inner_length = static_cast<size_t>(n) + 4;
  size_t text_length = Base64EncodedLength(inner_length);
  uint32_t total = static_cast<uint32_t>(text_length + 3);
  array.Clear();
  if (array.SetLength(total) != total) return false;
  uint8_t* out = array.Data();
  out[0] = STX;
  out[1] = type;
  Base64Encode(inner, inner_length, reinterpret_cast<char*>(out + 2), text_length);
  out[total - 1] = ETX;
  return true;
}

int DecodeTypedFrameText(const uint8_t* text, size_t length, uint8_t* sequence, uint8_t* payload) {
  uint8_t work[kFrameWorkArea];
  if (Base64MaxDecodedLength(length) > sizeof work) return -1;
  long decoded = Base64Decode(text, length, work, sizeof work);
  if (decoded < 2) return -1;
  int n = work[1];
  if (decoded != n + 4) return -1;
  uint16_t crc = Crc16Ccitt(work, static_cast<size_t>(n) + 2);
  uint16_t carried = static_cast<uint16_t>(work[n + 2] | (work[n + 3] << 8));
  if (crc != carried) return -1;
  *sequence = work[0];
  if (n != 0) std::memcpy(payload, work + 2, static_cast<size_t>(n));
  return n;
}

void MakeFastFrame(const uint8_t* image, size_t length, std::vector<uint8_t>& out) {
  size_t text_length = Base64EncodedLength(length);
  out.resize(text_length + 3);
  out[0] = STX;
  out[1] = kFastFrame;
  Base64Encode(image, length, reinterpret_cast<char*>(out.data() + 2), text_length);
  out[text_length + 2] = ETX;
}

uint8_t LegacyLrc(const uint8_t* payload, size_t n) {
  uint8_t lrc = STX;
  for (size_t i = 0; i < n; ++i) lrc ^= payload[i];
  return lrc;
}

void MakeLegacyFrame(const uint8_t* payload, size_t n, std::vector<uint8_t>& out) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  out.resize(2 * n + 5);
  size_t o = 0;
  out[o++] = STX;
  for (size_t i = 0; i < n; ++i) {
    out[o++] = static_cast<uint8_t>(kDigits[payload[i] >> 4]);
    out[o++] = static_cast<uint8_t>(kDigits[payload[i] & 15]);
  }
  uint8_t lrc = LegacyLrc(payload, n);
  out[o++] = static_cast<uint8_t>(kDigits[lrc >> 4]);
  out[o++] = static_cast<uint8_t>(kDigits[lrc & 15]);
  out[o++] = ETX;
  out[o++] = ETX;
}

namespace {
int HexValue(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}
}  // namespace

bool HexPair(uint8_t high, uint8_t low, uint8_t* out) {
  int h = HexValue(high);
  int l = HexValue(low);
  if (h < 0 || l < 0) return false;
  *out = static_cast<uint8_t>(h * 16 + l);
  return true;
}

}  // namespace pplink

bool tspMakeNewFrame(common::UBaseArrayT<uint8_t>& array, uint8_t sequence, const uint8_t* payload, uint8_t n) {
  return pplink::MakeTypedFrame(array, pplink::kDataFrame, sequence, payload, n);
}
