#include "common/codepage.h"

#include <array>
#include <cstring>

namespace common {
namespace {

// Order of the 32 Cyrillic letters (index in the alphabet, a = 0 ... ya = 31)
// at KOI8-R 0xC0..0xDF (small) and 0xE0..0xFF (capital).
constexpr uint8_t kKoi8Order[32] = {30, 0,  1,  22, 4,  5,  20, 3,  21, 8,  9,  10, 11, 12, 13, 14,
                                    15, 31, 16, 17, 18, 19, 6,  2,  28, 27, 7,  24, 29, 25, 23, 26};

// cp866 position of the letter with alphabet index a (capital or small).
constexpr uint8_t Cp866Capital(uint8_t a) { return static_cast<uint8_t>(0x80 + a); }
constexpr uint8_t Cp866Small(uint8_t a) {
  return static_cast<uint8_t>(a < 16 ? 0xA0 + a : 0xE0 + (a - 16));
}

using ByteTable = std::array<uint8_t, 256>;

constexpr ByteTable Identity() {
  ByteTable t{};
  for (int i = 0; i < 256; ++i) t[i] = static_cast<uint8_t>(i);
  return t;
}

constexpr ByteTable MakeToKoi8() {
  ByteTable t = Identity();
  for (uint8_t i = 0; i < 32; ++i) {
    t[Cp866Small(kKoi8Order[i])] = static_cast<uint8_t>(0xC0 + i);
    t[Cp866Capital(kKoi8Order[i])] = static_cast<uint8_t>(0xE0 + i);
  }
  t[0xF0] = 0xB3;
  t[0xF1] = 0xA3;
  t[0xF8] = 0x9C;
  t[0xFA] = 0x9E;
  t[0xFB] = 0x96;
  t[0xFC] = '#';
  return t;
}

constexpr ByteTable MakeFromKoi8() {
  // The inverse of the letters, Yo and the three symbols; everything else is
  // taken as the byte it is, as the forward direction copies it.
  ByteTable t = Identity();
  for (uint8_t i = 0; i < 32; ++i) {
    t[0xC0 + i] = Cp866Small(kKoi8Order[i]);
    t[0xE0 + i] = Cp866Capital(kKoi8Order[i]);
  }
  t[0xB3] = 0xF0;
  t[0xA3] = 0xF1;
  t[0x9C] = 0xF8;
  t[0x9E] = 0xFA;
  t[0x96] = 0xFB;
  return t;
}

constexpr ByteTable MakeTo1251Letters() {
  // Console mode: letters only. Yo is mapped too: left as 0xF0/0xF1 it would
  // show as the small letters er and es.
  ByteTable t = Identity();
  for (int c = 0x80; c <= 0xAF; ++c) t[c] = static_cast<uint8_t>(c + 0x40);
  for (int c = 0xE0; c <= 0xEF; ++c) t[c] = static_cast<uint8_t>(c + 0x10);
  t[0xF0] = 0xA8;
  t[0xF1] = 0xB8;
  return t;
}

constexpr ByteTable MakeGrh866To1251() {
  ByteTable t = Identity();
  for (int c = 0x80; c <= 0xAF; ++c) t[c] = static_cast<uint8_t>(c + 0x40);
  for (int c = 0xE0; c <= 0xEF; ++c) t[c] = static_cast<uint8_t>(c + 0x10);
  t[0xF0] = 0xA8;
  t[0xF1] = 0xB8;
  t[0xF8] = 0xB0;
  t[0xFA] = 0xB7;
  t[0xFC] = 0xB9;
  t[0xFD] = 0xA4;
  t[0x07] = 0x95;
  t[0xF9] = 0x95;
  return t;
}

constexpr ByteTable Make1251To866() {
  ByteTable t = Identity();
  for (int c = 0xC0; c <= 0xEF; ++c) t[c] = static_cast<uint8_t>(c - 0x40);
  for (int c = 0xF0; c <= 0xFF; ++c) t[c] = static_cast<uint8_t>(c - 0x10);
  t[0x95] = 0xF9;
  t[0xA0] = 0x20;
  t[0xA4] = 0xFD;
  t[0xA8] = 0xF0;
  t[0xB0] = 0xF8;
  t[0xB7] = 0xFA;
  t[0xB8] = 0xF1;
  t[0xB9] = 0xFC;
  return t;
}

// Code points of cp866 bytes in the UTF-8 mode; 0 = no form, written as "?".
constexpr std::array<uint16_t, 256> MakeToUnicode() {
  std::array<uint16_t, 256> t{};
  for (int c = 0; c < 0x80; ++c) t[c] = static_cast<uint16_t>(c);
  for (int c = 0x80; c <= 0xAF; ++c) t[c] = static_cast<uint16_t>(0x0410 + (c - 0x80));
  for (int c = 0xE0; c <= 0xEF; ++c) t[c] = static_cast<uint16_t>(0x0440 + (c - 0xE0));
  t[0xF0] = 0x0401;
  t[0xF1] = 0x0451;
  constexpr uint16_t symbols[6] = {0x00B0, 0x2219, 0x00B7, 0x221A, 0x2116, 0x00A4};
  for (int i = 0; i < 6; ++i) t[0xF8 + i] = symbols[i];
  // 0xB0..0xBF carry what cp1251 has at those byte values: texts that arrive
  // in cp1251 are shown as intended.
  constexpr uint16_t upper1251[16] = {0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
                                      0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};
  for (int i = 0; i < 16; ++i) t[0xB0 + i] = upper1251[i];
  t[0xDD] = 0x20BD;
  return t;
}

struct Utf8Form {
  uint8_t len;
  char bytes[3];
};

constexpr std::array<Utf8Form, 256> MakeToUtf8() {
  constexpr auto unicode = MakeToUnicode();
  std::array<Utf8Form, 256> t{};
  for (int c = 0; c < 256; ++c) {
    const uint16_t cp = unicode[c];
    Utf8Form f{};
    if (c == 0) {
      f = {1, {0, 0, 0}};
    } else if (cp == 0) {
      f = {1, {'?', 0, 0}};
    } else if (cp < 0x80) {
      f = {1, {static_cast<char>(cp), 0, 0}};
    } else if (cp < 0x800) {
      f = {2, {static_cast<char>(0xC0 | (cp >> 6)), static_cast<char>(0x80 | (cp & 0x3F)), 0}};
    } else {
      f = {3,
           {static_cast<char>(0xE0 | (cp >> 12)), static_cast<char>(0x80 | ((cp >> 6) & 0x3F)),
            static_cast<char>(0x80 | (cp & 0x3F))}};
    }
    t[c] = f;
  }
  return t;
}

constexpr ByteTable kToKoi8 = MakeToKoi8();
constexpr ByteTable kFromKoi8 = MakeFromKoi8();
constexpr ByteTable kTo1251Letters = MakeTo1251Letters();
constexpr ByteTable kGrh866To1251 = MakeGrh866To1251();
constexpr ByteTable k1251To866 = Make1251To866();
constexpr std::array<Utf8Form, 256> kToUtf8 = MakeToUtf8();

size_t TranslateTable(char* dst, size_t room, const char* src, size_t srcLen, const ByteTable& table) {
  const size_t n = srcLen < room ? srcLen : room;
  for (size_t i = 0; i < n; ++i) dst[i] = static_cast<char>(table[static_cast<uint8_t>(src[i])]);
  return n;
}

size_t TranslateUtf8(char* dst, size_t room, const char* src, size_t srcLen) {
  size_t out = 0;
  for (size_t i = 0; i < srcLen && out < room; ++i) {
    const uint8_t c = static_cast<uint8_t>(src[i]);
    if (c < 0x80) {
      dst[out++] = static_cast<char>(c);
      continue;
    }
    const Utf8Form& f = kToUtf8[c];
    if (f.len <= room - out) {
      for (uint8_t k = 0; k < f.len; ++k) dst[out++] = f.bytes[k];
    } else {
      // A character cut in half would be malformed UTF-8 for the reader.
      dst[out++] = '?';
    }
  }
  return out;
}

// Code point to cp866, 0 when cp866 has no such character.
uint8_t UnicodeTo866(uint32_t cp) {
  if (cp >= 0x0410 && cp <= 0x043F) return static_cast<uint8_t>(0x80 + (cp - 0x0410));
  if (cp >= 0x0440 && cp <= 0x044F) return static_cast<uint8_t>(0xE0 + (cp - 0x0440));
  switch (cp) {
    case 0x0401: return 0xF0;
    case 0x0451: return 0xF1;
    case 0x00B0: return 0xF8;
    case 0x2219: return 0xF9;
    case 0x00B7: return 0xFA;
    case 0x221A: return 0xFB;
    case 0x2116: return 0xFC;
    case 0x00A4: return 0xFD;
    case 0x20BD: return 0xDD;
    default: return 0;
  }
}

// One character of the split input (first byte plus what was appended).
uint8_t Utf8CharTo866(const uint8_t* p, size_t n) {
  const uint8_t lead = p[0];
  if (lead < 0x80) return lead;  // stray continuation bytes after it are dropped
  size_t expected = 0;
  uint32_t cp = 0;
  if (lead >= 0xC0 && lead <= 0xDF) {
    expected = 2;
    cp = lead & 0x1Fu;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    expected = 3;
    cp = lead & 0x0Fu;
  } else {
    return '?';  // four-byte characters, continuation or invalid lead bytes
  }
  if (n != expected) return '?';
  for (size_t k = 1; k < n; ++k) {
    if ((p[k] & 0xC0) != 0x80) return '?';
    cp = (cp << 6) | (p[k] & 0x3Fu);
  }
  // Overlong forms never stand for the characters we map.
  const uint8_t ch = UnicodeTo866(cp);
  return ch == 0 ? '?' : ch;
}

}  // namespace

size_t cp866TranslateEx(char* dst, size_t dstSize, const char* src, size_t srcLen, int mode) {
  if (dst == nullptr || dstSize == 0) return 0;
  if (src == nullptr) srcLen = 0;
  const size_t room = dstSize - 1;
  size_t out = 0;
  switch (mode) {
    case kCp866ToKoi8r: out = TranslateTable(dst, room, src, srcLen, kToKoi8); break;
    case kCp866ToUtf8: out = TranslateUtf8(dst, room, src, srcLen); break;
    case kCp866ToCp1251: out = TranslateTable(dst, room, src, srcLen, kTo1251Letters); break;
    default:
      out = srcLen < room ? srcLen : room;
      if (out != 0) std::memmove(dst, src, out);
      break;
  }
  dst[out] = '\0';
  return out;
}

size_t cp866Translate(char* dst, const char* src, size_t dstSize, int mode) {
  if (dst == nullptr || dstSize == 0) return 0;
  // Every source byte gives at least one byte, so no more of src than the
  // room is ever looked at.
  const size_t srcLen = src == nullptr ? 0 : strnlen(src, dstSize);
  return cp866TranslateEx(dst, dstSize, src, srcLen, mode);
}

uint8_t cp866toKoi8r(uint8_t ch) { return kToKoi8[ch]; }
uint8_t koi8rTo866(uint8_t ch) { return kFromKoi8[ch]; }

uint8_t grhChar866To1251(uint8_t ch) { return kGrh866To1251[ch]; }
uint8_t cp866to1251(uint8_t ch) { return kGrh866To1251[ch]; }

void ConvertFrom866To1251(char* text) {
  if (text == nullptr) return;
  for (; *text != '\0'; ++text) *text = static_cast<char>(kGrh866To1251[static_cast<uint8_t>(*text)]);
}

void ConvertCountOfFrom866To1251(char* text, int32_t count) {
  if (text == nullptr) return;
  const int32_t limit = count < 0 ? 65535 : count;
  for (int32_t i = 0; i < limit && text[i] != '\0'; ++i) {
    text[i] = static_cast<char>(kGrh866To1251[static_cast<uint8_t>(text[i])]);
  }
}

uint8_t cp1251to866(uint8_t ch) { return k1251To866[ch]; }

void ConvertFrom1251To866(char* text) {
  if (text == nullptr) return;
  for (; *text != '\0'; ++text) *text = static_cast<char>(k1251To866[static_cast<uint8_t>(*text)]);
}

size_t UTF8Tocp866Size(char* dst, const char* src, size_t srcLen, size_t dstSize) {
  if (dst == nullptr || dstSize == 0) return 0;
  if (src == nullptr) srcLen = 0;
  const uint8_t* in = reinterpret_cast<const uint8_t*>(src);
  const size_t room = dstSize - 1;
  size_t out = 0;
  size_t i = 0;
  while (i < srcLen && out < room) {
    size_t j = i + 1;
    while (j < srcLen && ((in[j] >= 0x80 && in[j] <= 0xBF) || in[j] >= 0xF8)) ++j;
    dst[out++] = static_cast<char>(Utf8CharTo866(in + i, j - i));
    i = j;
  }
  dst[out] = '\0';
  return out;
}

size_t UTF8Tocp866(char* dst, const char* src, size_t dstSize) {
  return UTF8Tocp866Size(dst, src, src == nullptr ? 0 : std::strlen(src), dstSize);
}

size_t UnicodeCharToUtf8Char(uint16_t codepoint, char* out, size_t room) {
  if (out == nullptr) return 0;
  if (codepoint >= 0xD800 && codepoint <= 0xDFFF) codepoint = '?';
  if (codepoint < 0x80) {
    if (room < 1) return 0;
    out[0] = static_cast<char>(codepoint);
    return 1;
  }
  if (codepoint < 0x800) {
    if (room < 2) return 0;
    out[0] = static_cast<char>(0xC0 | (codepoint >> 6));
    out[1] = static_cast<char>(0x80 | (codepoint & 0x3F));
    return 2;
  }
  if (room < 3) return 0;
  out[0] = static_cast<char>(0xE0 | (codepoint >> 12));
  out[1] = static_cast<char>(0x80 | ((codepoint >> 6) & 0x3F));
  out[2] = static_cast<char>(0x80 | (codepoint & 0x3F));
  return 3;
}

}  // namespace common
