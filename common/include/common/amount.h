// Amounts given as text: unsigned 32-bit numbers of minor currency units.
// 0xFFFFFFFF is never a real amount: every parser answers it for an
// unreadable text or a value that does not fit, instead of wrapping around.
#pragma once

#include <cstdint>

namespace common {

inline constexpr uint32_t kBadAmount = 0xFFFFFFFFu;

// 10 to the power n; n above 9 does not fit 32 bits and saturates at kBadAmount.
uint32_t Power10(uint32_t n);

// True when value * 10 + digit would exceed 4,294,967,295.
bool is_overflow(uint32_t value, char digitChar);

// Exactly count decimal digits (no sign, no blanks). kBadAmount for a
// non-digit among them (a text shorter than count included) or an overflow;
// count 0 gives 0. Never reads past the first non-digit.
uint32_t StrToInt(const char* text, uint32_t count);

// Parses an amount text scaled by 10^decimals. A text without a separator is
// taken as it stands (already in minor units): with 2 decimals "10000" and
// "100.00" are the same amount. Leading blanks and minus signs are skipped
// while the value is still 0. kBadAmount for anything unreadable.
uint32_t StrToValueExp(const char* text, uint32_t decimals);

}  // namespace common
