#include "common/amount.h"

#include <cstddef>

namespace common {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// The fraction after the separator: only digits, at most maxDigits of them.
// A minus sign or a blank here is never part of a real amount ("5. 5" must not
// read as 5.05), so everything but a digit is unreadable.
bool ParseFraction(const char* text, uint32_t maxDigits, uint32_t& value, uint32_t& digits) {
  value = 0;
  digits = 0;
  for (const char* p = text; *p != '\0'; ++p) {
    if (!IsDigit(*p) || digits == maxDigits) return false;
    value = value * 10u + static_cast<uint32_t>(*p - '0');
    ++digits;
  }
  return true;
}

}  // namespace

uint32_t Power10(uint32_t n) {
  if (n > 9) return kBadAmount;
  uint32_t v = 1;
  while (n-- > 0) v *= 10u;
  return v;
}

bool is_overflow(uint32_t value, char digitChar) {
  return value > 429496729u || (value == 429496729u && digitChar > '5');
}

uint32_t StrToInt(const char* text, uint32_t count) {
  if (count == 0) return 0;
  if (text == nullptr) return kBadAmount;
  uint32_t value = 0;
  for (uint32_t i = 0; i < count; ++i) {
    const char c = text[i];
    if (!IsDigit(c) || is_overflow(value, c)) return kBadAmount;
    value = value * 10u + static_cast<uint32_t>(c - '0');
  }
  return value;
}

uint32_t StrToValueExp(const char* text, uint32_t decimals) {
  if (text == nullptr || *text == '\0') return 0;
  uint32_t value = 0;
  const char* p = text;
  const char* fraction = nullptr;
  for (; *p != '\0'; ++p) {
    const char c = *p;
    if (value == 0 && (c == '-' || IsBlank(c))) continue;
    if (decimals != 0 && (c == '.' || c == ',')) {
      fraction = p + 1;
      break;
    }
    if (!IsDigit(c) || is_overflow(value, c)) return kBadAmount;
    value = value * 10u + static_cast<uint32_t>(c - '0');
  }
  if (fraction == nullptr) return value;

  // Ten or more decimals leave no room for any amount in 32 bits.
  if (decimals > 9) return kBadAmount;
  const uint32_t scale = Power10(decimals);
  const uint32_t limit = kBadAmount / scale;
  const uint32_t rest = kBadAmount % scale;
  if (value > limit) return kBadAmount;
  uint32_t frac = 0;
  uint32_t digits = 0;
  if (!ParseFraction(fraction, decimals, frac, digits)) return kBadAmount;
  frac *= Power10(decimals - digits);
  if (value == limit && frac > rest) return kBadAmount;
  return value * scale + frac;
}

}  // namespace common
