// Totals that may exceed 32 bits: high * 10,000,000 + low, low < 10,000,000.
#pragma once

#include <cstddef>
#include <cstdint>

namespace common {

struct BigAmount {
  uint32_t low = 0;
  uint32_t high = 0;
};

inline constexpr uint32_t kBigAmountBase = 10000000u;

void ClearBA(BigAmount& ba);
void AddDWORDToBA(BigAmount& ba, uint32_t amount);
// Subtracting more than the total leaves zero: a total never turns into a
// huge positive number.
void SubDWORDFromBA(BigAmount& ba, uint32_t amount);
void AddBAToBA(BigAmount& ba, const BigAmount& other);
void SubBAFromBA(BigAmount& ba, const BigAmount& other);
// high * 10,000,000 + low, truncated to 32 bits.
uint32_t BAToDWORD(const BigAmount& ba);
// More than 7 digits: the first len - 7 are high, the last 7 low. Digits that
// do not read (StrToInt) give a zero part.
BigAmount StringToBA(const char* digits, uint32_t len);
// Decimal text without leading zeros, padded on the left with "0" to minWidth
// characters unless minWidth is -1 (a zero total then prints ""). out must
// hold kBAStrSize bytes (or minWidth + 1 when that is larger); use the sized
// variant where it does not.
inline constexpr size_t kBAStrSize = 24;
size_t BAToStr(const BigAmount& ba, char* out, int32_t minWidth);
size_t BAToStrSize(const BigAmount& ba, char* out, size_t outSize, int32_t minWidth);
// The total with a "." before the last decimals digits (decimals 0 counts as
// 2): 12345 prints "123.45", zero "0.00". out must hold kBAPrintableSize bytes.
inline constexpr size_t kBAPrintableSize = 48;
size_t BAToPrintable(const BigAmount& ba, char* out, uint32_t decimals);
size_t BAToPrintableSize(const BigAmount& ba, char* out, size_t outSize, uint32_t decimals);

}  // namespace common
